// Init: builds the global tables in dependency order.
#include "misc/misc.h"

#include "chess/masks.h"
#include "chess/zobrist.h"
#include "eval/values.h"

void Init() {
    init_masks();
    init_zobrist();
    ValueInit();
}

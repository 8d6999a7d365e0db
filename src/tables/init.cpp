// Init: builds the global tables in dependency order.
#include "tables/init.h"

#include "tables/masks.h"
#include "tables/values.h"
#include "tables/zobrist.h"

void Init() {
    init_masks();
    init_zobrist();
    ValueInit();
}

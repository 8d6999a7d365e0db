// Attack queries on a position: is a king attacked, which squares a side attacks.
#include "position/attacks.h"

#include "bit/bit.h"
#include "tables/masks.h"

bool IsKingSafe(const Position& pos, Color color) {
    const BB own_king = pos.pieces[KING] & pos.colors[color];
    if (!own_king) return true;
    const Square king = lsb(own_king);
    const BB occ = pos.colors[WHITE] | pos.colors[BLACK];
    const BB enemy = pos.colors[opponent(color)];

    if (pos.pieces[PAWN] & enemy & ATTACKS_PAWN[color][king]) return false;
    if (pos.pieces[KNIGHT] & enemy & ATTACKS_KNIGHT[king]) return false;

    const BB bishops = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & enemy;
    const BB rooks = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & enemy;
    BB unblocked = ATTACKS_QUEEN[king];
    BB potential_hazards = (rooks & ATTACKS_ROOK[king]) | (bishops & ATTACKS_BISHOP[king]);
    if (!potential_hazards) return true;

    // Most often every hazard stands on one line: the first piece met on it
    // decides.
    const Square some = lsb(potential_hazards);
    const BB line = RAYS[king][some];
    if (!(potential_hazards & ~line)) {
        // The nearest piece in the line's direction: the lowest square on a
        // line that runs upwards from the king, the highest downwards.
        const BB blockers = line & occ;
        return !(potential_hazards & (BB(1) << (some > king ? lsb(blockers) : msb(blockers))));
    }

    // Walk outward ring by ring: the first piece met on each open line either
    // is a slider of that line's kind (check) or closes the line.
    for (int offset = 1; offset <= 7 && potential_hazards; offset++) {
        BB blockers = unblocked & RINGS[king][offset] & occ;
        if (blockers & potential_hazards) return false;
        while (blockers) {
            const Square bb = lsbpop(blockers);
            unblocked &= ~RAYS[king][bb];
            potential_hazards &= ~RAYS[king][bb];
        }
    }
    return true;
}

BB GenerateAttackBoard(const Position& pos, Color color) {
    const BB occ = pos.colors[WHITE] | pos.colors[BLACK];
    const BB own = pos.colors[color];
    BB attacks = pawn_attacks(color, pos.pieces[PAWN] & own);

    BB set = pos.pieces[KNIGHT] & own;
    while (set) attacks |= ATTACKS_KNIGHT[lsbpop(set)];
    set = pos.pieces[KING] & own;
    while (set) attacks |= ATTACKS_KING[lsbpop(set)];

    const BB empty = ~occ;
    const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & own;
    const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & own;
    if (diagonal) attacks |= diagonal_attacks(diagonal, empty);
    if (orthogonal) attacks |= orthogonal_attacks(orthogonal, empty);
    return attacks;
}

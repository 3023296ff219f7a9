// A stored Lines board is outside input: any bytes must load as a board or be refused with
// the board left as it was, and a board that loads must save back to the same bytes.
#include "game/core/LinesBoard.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    velmar::lines::LinesBoard board;
    board.set({4, 4}, 3);
    const QByteArray before = board.Save();
    if (!board.Load(bytes)) {
        if (board.Save() != before) std::abort();
        return 0;
    }
    if (board.Save() != bytes) std::abort();
    // The rules must hold on any board that loads.
    for (int x = 0; x < velmar::lines::kBoardSize; ++x)
        for (int y = 0; y < velmar::lines::kBoardSize; ++y)
            if (board.at({x, y}) != 0) board.RemoveLines({x, y});
    return 0;
}

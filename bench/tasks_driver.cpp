// tasks: the "Active tasks" list of every process, built as the dialog builds it. Prints
// the number of rows.
#include "platform/Windows.h"
#include "systools/TaskList.h"

#include <cstdio>

namespace {
class NoWindows : public velmar::platform::WindowSystem {
public:
    std::vector<velmar::platform::TopWindow> TopLevelWindows() override { return {}; }
    bool Activate(uint32_t) override { return false; }
    uint32_t ActiveWindow() override { return 0; }
};
} // namespace

int main() {
    NoWindows none;
    std::vector<velmar::TaskRow> rows;
    if (!velmar::BuildTaskList(false, none, rows)) return 1;
    std::printf("%zu processes\n", rows.size());
    return 0;
}

#pragma once
// Icons drawn in code: the program's icon (resource 128) and the tool bar buttons.

#include <QIcon>

namespace velmar {

QIcon ProgramIcon();
// The tool bar picture of command `id`; a null icon for commands without a button.
QIcon CommandIcon(int id);

} // namespace velmar

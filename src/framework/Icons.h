#pragma once
// Icons drawn in code: the program's icon (resource 128) and the tool bar buttons.

#include <QIcon>

class QStyle;

namespace velmar {

QIcon ProgramIcon();
// The tool bar picture of command `id`; a null icon for commands without a button.
QIcon CommandIcon(int id);
// The program's widget style: the platform's own, with the arrows of an overfull tool bar
// or menu bar drawn in code. The platform style loads those from image files, which makes
// Qt load every image-format plug-in at start-up for two small pictures.
QStyle* NewProgramStyle();

} // namespace velmar

#pragma once
// The last stop of command routing: the application object. Frames ask their active view,
// then themselves, then this target.

#include "framework/Command.h"

namespace velmar {

class CFrame;

void SetApplicationTarget(CommandTarget* app);
CommandTarget* ApplicationTarget();

// The frame the user works in (owner of message boxes); none before the first frame.
void SetActiveFrame(CFrame* frame);
CFrame* ActiveFrame();

} // namespace velmar

#pragma once

#include "app/OperatorPrompt.h"

// A prompt that shows nothing and waits for nobody: warnings go unseen, every question is
// answered No and no file is chosen. A test replaces the parts it looks at.
OperatorPrompt silentPrompt();

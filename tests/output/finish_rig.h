// A finisher of its own over a rig's platform and controls, for the tests
// of capturing and saving apart from the buttons that start them.
#pragma once

#include "fake/fake_platform.h"
#include "output/finish.h"

namespace tolvane::testutil {

inline output::Finisher finisherOver(fake::Rig& rig) {
  return output::Finisher(rig.surface,
                          {rig.app, rig.pointer, rig.clipboard, rig.dialog, rig.messageBox, rig.encoders, rig.env});
}

}  // namespace tolvane::testutil

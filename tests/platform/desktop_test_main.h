// The private desktop the in-process desktop tests share.
#pragma once

#include "support/test_desktop.h"

namespace pxh::test {
TestDesktop& SharedDesktop();
} // namespace pxh::test

// <windows.h>, without the macro that would rename platform::MessageBox.
#pragma once

#include <windows.h>

#undef MessageBox

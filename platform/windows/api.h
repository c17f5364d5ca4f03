#pragma once
// <windows.h> for the Windows sources that also see platform/console_api.h. That header
// declares the console's constants under their Windows names inside namespace platform, which
// the Windows macros of the same names would rewrite; so the macros are taken away here, after
// their values are checked against ours. Code below this header uses the platform:: constants.
#include <windows.h>

namespace windows_values {
constexpr DWORD KeyEvent = KEY_EVENT;
constexpr DWORD MouseEvent = MOUSE_EVENT;
constexpr DWORD WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_EVENT;
constexpr DWORD FocusEvent = FOCUS_EVENT;
constexpr DWORD RightAltPressed = RIGHT_ALT_PRESSED;
constexpr DWORD LeftAltPressed = LEFT_ALT_PRESSED;
constexpr DWORD RightCtrlPressed = RIGHT_CTRL_PRESSED;
constexpr DWORD LeftCtrlPressed = LEFT_CTRL_PRESSED;
constexpr DWORD ShiftPressed = SHIFT_PRESSED;
constexpr DWORD NumLockOn = NUMLOCK_ON;
constexpr DWORD ScrollLockOn = SCROLLLOCK_ON;
constexpr DWORD CapsLockOn = CAPSLOCK_ON;
constexpr DWORD EnhancedKey = ENHANCED_KEY;
constexpr DWORD StdInputHandle = STD_INPUT_HANDLE;
constexpr DWORD StdOutputHandle = STD_OUTPUT_HANDLE;
constexpr DWORD StdErrorHandle = STD_ERROR_HANDLE;
}  // namespace windows_values

#undef KEY_EVENT
#undef MOUSE_EVENT
#undef WINDOW_BUFFER_SIZE_EVENT
#undef FOCUS_EVENT
#undef RIGHT_ALT_PRESSED
#undef LEFT_ALT_PRESSED
#undef RIGHT_CTRL_PRESSED
#undef LEFT_CTRL_PRESSED
#undef SHIFT_PRESSED
#undef NUMLOCK_ON
#undef SCROLLLOCK_ON
#undef CAPSLOCK_ON
#undef ENHANCED_KEY
#undef STD_INPUT_HANDLE
#undef STD_OUTPUT_HANDLE
#undef STD_ERROR_HANDLE

#include "platform/console_api.h"

static_assert(platform::KEY_EVENT == windows_values::KeyEvent &&
              platform::MOUSE_EVENT == windows_values::MouseEvent &&
              platform::WINDOW_BUFFER_SIZE_EVENT == windows_values::WindowBufferSizeEvent &&
              platform::FOCUS_EVENT == windows_values::FocusEvent);
static_assert(platform::RIGHT_ALT_PRESSED == windows_values::RightAltPressed &&
              platform::LEFT_ALT_PRESSED == windows_values::LeftAltPressed &&
              platform::RIGHT_CTRL_PRESSED == windows_values::RightCtrlPressed &&
              platform::LEFT_CTRL_PRESSED == windows_values::LeftCtrlPressed &&
              platform::SHIFT_PRESSED == windows_values::ShiftPressed &&
              platform::NUMLOCK_ON == windows_values::NumLockOn &&
              platform::SCROLLLOCK_ON == windows_values::ScrollLockOn &&
              platform::CAPSLOCK_ON == windows_values::CapsLockOn &&
              platform::ENHANCED_KEY == windows_values::EnhancedKey);
static_assert(platform::STD_INPUT_HANDLE == windows_values::StdInputHandle &&
              platform::STD_OUTPUT_HANDLE == windows_values::StdOutputHandle &&
              platform::STD_ERROR_HANDLE == windows_values::StdErrorHandle);

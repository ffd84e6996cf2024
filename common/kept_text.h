// A text copied to the heap at its own length, for what is kept between
// openings of the task lists: fixed path buffers would cost a kilobyte a task.
#pragma once

#include <cwchar>
#include <memory>

namespace tessaly {

using KeptText = std::unique_ptr<wchar_t[]>;

inline KeptText KeepText(const wchar_t* text) {
    size_t length = wcslen(text) + 1;
    KeptText copy(new wchar_t[length]);
    wmemcpy(copy.get(), text, length);
    return copy;
}

}  // namespace tessaly

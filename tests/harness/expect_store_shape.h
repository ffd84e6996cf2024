// The check of a saved store against its shape, for the suites.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/harness/store_shape.h"

namespace harness {

// Each value is there, of its type and size.
inline void ExpectStoreShapes(const std::vector<ValueShape>& shapes) {
    for (const ValueShape& shape : shapes) {
        const std::wstring key = std::wstring(kStorePath) + L"\\" + shape.key;
        SCOPED_TRACE(testing::PrintToString(shape.key + L"\\" + shape.value));
        DWORD type = 0, size = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, key.c_str(), shape.value,
                                              RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size));
        EXPECT_EQ(shape.type, type);
        EXPECT_EQ(shape.size, size);
    }
}

}  // namespace harness

#pragma once
// Checks that a call raises one of the port's exceptions, of the expected
// class, with the expected code and message text.

#include <string_view>

#include <gtest/gtest.h>

namespace morvik::comm {

template <typename Exception, typename Call>
void ExpectRaises(Call&& call, int code, std::string_view text) {
    try {
        call();
        ADD_FAILURE() << "nothing raised; expected code " << code;
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(std::string_view(e.what()), text);
    }
}

}  // namespace morvik::comm

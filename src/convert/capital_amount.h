// An amount of yuan in Chinese capital numerals, as the delivery note shows
// its total.
#pragma once

#include <string>

namespace convert {

// The amount rounded to cents (halves up, after adding 1e-12 to the cents),
// written in capital numerals as a GBK text: 1.23 gives "壹元贰角叁分", 10
// "壹拾元整", 1050.5 "壹仟零伍拾元零伍角整", 101000000 "壹亿零壹佰万元整";
// "负" in front of a negative amount. "零" when it rounds to no cents, "溢出"
// beyond 999999999999999 cents (also for infinities and NaN).
std::string capitalAmountText(double amount);

}  // namespace convert

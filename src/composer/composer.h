// The item composer's arithmetic and wording, without Qt: prints are priced
// by area, so the dialog turns two edges (metres), a quantity and a unit price
// into an amount and a line of description for the entry page's remark.
// Texts are UTF-8, as the boxes hold them: nothing here is stored, and a
// character outside GBK that the operator typed into a remark must reach the
// entry page unchanged (its save refuses it with a clear message).
#pragma once

#include <string>
#include <string_view>

namespace composer {

// Edge strips around a frame, in the order the dialog offers them.
enum class EdgeType { None, SmallGrey, SmallGoldSilver, LargeGoldSilver };
inline constexpr EdgeType kEdgeTypes[] = {EdgeType::None, EdgeType::SmallGrey,
                                          EdgeType::SmallGoldSilver, EdgeType::LargeGoldSilver};

// The name the dialog offers an edge type under: "无", "小灰边", "小金银",
// "大金银" (the last three also stand in the composed remark).
std::string_view edgeChoiceName(EdgeType edge);

// The box texts exactly as typed.
struct JobInputs {
    std::string size1;      // 编辑框尺寸1, metres
    std::string size2;      // 编辑框尺寸2, metres
    std::string quantity;   // 编辑框数量
    std::string unitPrice;  // 编辑框单价, yuan
};

// What one recomputation leaves behind.
struct Pricing {
    double amount = 0;  // before the edge charge
    double edgeCharge = 0;
    EdgeType edge = EdgeType::None;
    std::string amountText;  // for 标签金额: amount + edge charge to one decimal
    std::string edgeNote;    // for 透明标签含边条: empty without edge strips
};

// recomputeAmount's arithmetic. With either size box empty the amount is
// quantity × unit price and the edge type falls back to None; otherwise
// size1 × size2 × quantity × unit price, multiplied in that order. Numbers
// are read as the program reads every typed number: full-width digits count,
// text that does not start with a number is 0.
Pricing price(const JobInputs& in, EdgeType edge);

// Strips of 2.4 m around the frame, at 2, 3 or 4 yuan each per piece.
double edgeCharge(EdgeType edge, double size1, double size2, double quantity);

// The description composeItem appends to the entry page's remark:
//   remark + "数量" + Q + " " + M                            (a size missing)
//   remark + "数量" + Q + " 尺寸" + A + "米X" + B + "米 " + M  (both sizes)
// with the edge strip's name after "米 " when there is one.
std::string composeRemark(std::string_view entryRemark, const JobInputs& in,
                          std::string_view dialogRemark, EdgeType edge);

// composeItem refuses while the amount label still reads exactly "0".
bool amountIsMissing(std::string_view amountText);

}  // namespace composer

#include "composer.h"

#include "gbk.h"
#include "numbers.h"

namespace composer {
namespace {

constexpr std::string_view kQuantity = "数量";
constexpr std::string_view kSize = " 尺寸";
constexpr std::string_view kMetresBy = "米X";
constexpr std::string_view kMetres = "米 ";
constexpr std::string_view kEdgeNote = "含边条：";
constexpr std::string_view kYuan = "元";

std::string_view edgeName(EdgeType edge) {
    switch (edge) {
        case EdgeType::SmallGrey:
            return "小灰边";
        case EdgeType::SmallGoldSilver:
            return "小金银";
        case EdgeType::LargeGoldSilver:
            return "大金银";
        case EdgeType::None:
            break;
    }
    return {};
}

double stripPrice(EdgeType edge) {
    switch (edge) {
        case EdgeType::SmallGrey:
            return 2;
        case EdgeType::SmallGoldSilver:
            return 3;
        case EdgeType::LargeGoldSilver:
            return 4;
        case EdgeType::None:
            break;
    }
    return 0;
}

// The number conversions read and write GBK. A character GBK cannot hold
// can never be part of a number, so reading stops there as it would at any
// other non-digit.
double readNumber(std::string_view utf8) {
    if (auto gbk = convert::utf8ToGbk(utf8)) return convert::textToNumber(*gbk);
    const std::string bad = convert::firstCharacterNotInGbk(utf8);
    const std::string_view prefix = utf8.substr(0, utf8.find(bad));
    return convert::textToNumber(convert::utf8ToGbk(prefix).value_or(std::string()));
}

std::string oneDecimal(double value) {
    // Digits, sign, point and exponent: the same bytes in GBK and UTF-8.
    return convert::numberToText(convert::roundTo(value, 1));
}

}  // namespace

std::string_view edgeChoiceName(EdgeType edge) {
    return edge == EdgeType::None ? std::string_view("无") : edgeName(edge);
}

double edgeCharge(EdgeType edge, double size1, double size2, double quantity) {
    const double strips = (2 * size1 + 2 * size2) / 2.4;
    return strips * quantity * stripPrice(edge);
}

Pricing price(const JobInputs& in, EdgeType edge) {
    Pricing p;
    const double quantity = readNumber(in.quantity);
    const double unitPrice = readNumber(in.unitPrice);
    if (in.size1.empty() || in.size2.empty()) {
        p.amount = quantity * unitPrice;
        edge = EdgeType::None;
    } else {
        const double size1 = readNumber(in.size1);
        const double size2 = readNumber(in.size2);
        p.amount = size1 * size2 * quantity * unitPrice;
        p.edgeCharge = edgeCharge(edge, size1, size2, quantity);
    }
    p.edge = edge;
    if (edge != EdgeType::None) {
        p.edgeNote = std::string(kEdgeNote) + oneDecimal(p.edgeCharge) + std::string(kYuan);
    }
    p.amountText = oneDecimal(p.amount + p.edgeCharge);
    return p;
}

std::string composeRemark(std::string_view entryRemark, const JobInputs& in,
                          std::string_view dialogRemark, EdgeType edge) {
    std::string out(entryRemark);
    out += kQuantity;
    out += in.quantity;
    if (in.size1.empty() || in.size2.empty()) {
        out += ' ';
    } else {
        out += kSize;
        out += in.size1;
        out += kMetresBy;
        out += in.size2;
        out += kMetres;
        if (edge != EdgeType::None) {
            out += edgeName(edge);
            out += ' ';
        }
    }
    out += dialogRemark;
    return out;
}

bool amountIsMissing(std::string_view amountText) { return amountText == "0"; }

}  // namespace composer

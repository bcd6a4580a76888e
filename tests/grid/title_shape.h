// A title tree written out as "Caption[children],..." in ring order.
#pragma once

#include <string>

#include "controls/grid/DBGridEh_TitleTree.h"

namespace gridtest {

inline std::string Shape(const grid::THeadTreeNode* Node) {
    std::string r;
    const grid::THeadTreeNode* c = Node->FirstChild;
    if (!c) return r;
    do {
        if (!r.empty()) r += ",";
        r += c->Caption;
        if (c->FirstChild) r += "[" + Shape(c) + "]";
        c = c->NextSibling;
    } while (c != Node->FirstChild);
    return r;
}

}  // namespace gridtest

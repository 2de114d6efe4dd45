#pragma once
// Test double: records every box and answers from a queue (then the default answer).
#include "CORE/Platform/IMessageBox.h"

#include <deque>
#include <string>
#include <vector>

namespace kestrin {

class HeadlessMessageBox : public IMessageBox {
public:
    struct Shown {
        std::string text, caption;
        int type;
    };
    int Show(const std::string& text, const std::string& caption, int type) override {
        shown.push_back({text, caption, type});
        if (answers.empty()) return DefaultMessageBoxAnswer(type);
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<Shown> shown;
    std::deque<int> answers;
};

}  // namespace kestrin

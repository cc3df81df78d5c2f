#pragma once

#include "base/language.h"

// Sets the interface language for one test and puts the previous one back.
class LanguageGuard {
public:
    explicit LanguageGuard(bool inEnglish) : previous_(Ui::english.exchange(inEnglish)) {}
    ~LanguageGuard() { Ui::english.store(previous_); }
    LanguageGuard(const LanguageGuard&) = delete;
    LanguageGuard& operator=(const LanguageGuard&) = delete;

private:
    bool previous_;
};

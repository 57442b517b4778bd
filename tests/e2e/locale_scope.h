// locale_scope.h -- Wine's programs started while a LocaleScope lives run under its locale, which
// sets their ANSI and OEM code pages (ja_JP.UTF-8: 932, ru_RU.UTF-8: 1251, ...).
#pragma once

#include <cstdlib>
#include <string>

namespace e2e {

class LocaleScope {
public:
    explicit LocaleScope(const char* locale) {
        const char* old = std::getenv("LC_ALL");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("LC_ALL", locale, 1);
    }
    ~LocaleScope() {
        if (had_) setenv("LC_ALL", old_.c_str(), 1);
        else unsetenv("LC_ALL");
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace e2e

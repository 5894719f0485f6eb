// Tests of local times in a fixed zone, whatever the machine's.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace zindra::events {

// Times in a fixed zone, whatever the machine's: Central European, with
// summer time, as on the panels' sites.
class CentralEuropeanTime : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TZ");
        if (old) saved_ = old;
        hadTz_ = old != nullptr;
        setTz("CET-1CEST,M3.5.0,M10.5.0/3");
    }
    void TearDown() override {
        if (hadTz_) setTz(saved_.c_str());
        else unsetTz();
    }

private:
    static void setTz(const char* tz) {
#ifdef _WIN32
        _putenv_s("TZ", tz);
        _tzset();
#else
        setenv("TZ", tz, 1);
        tzset();
#endif
    }
    static void unsetTz() {
#ifdef _WIN32
        _putenv_s("TZ", "");
        _tzset();
#else
        unsetenv("TZ");
        tzset();
#endif
    }
    std::string saved_;
    bool hadTz_ = false;
};

}  // namespace zindra::events

// Tests of local times in a fixed zone, whatever the machine's.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace zindra::events {

// Times in a fixed zone, whatever the machine's: Central European, with
// summer time, as on the panels' sites.  The zone is set once for the whole
// suite: the Windows C runtime keeps the summer-time dates it worked out for
// a year across a change of TZ, so a zone unset and set again between two
// tests would lose its summer time.
class CentralEuropeanTime : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* old = std::getenv("TZ");
        hadTz_ = old != nullptr;
        saved_ = old ? old : "";
        setTz("CET-1CEST,M3.5.0,M10.5.0/3");
    }
    static void TearDownTestSuite() {
        if (hadTz_)
            setTz(saved_.c_str());
        else
            unsetTz();
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
    static inline std::string saved_;
    static inline bool hadTz_ = false;
};

}  // namespace zindra::events

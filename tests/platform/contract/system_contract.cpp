#include "platform/contract/contract_backend.h"
#include "platform/text.h"

namespace qb::test {

TEST_P(SystemContract, WindirAndSystemRootNameTheWindowsDirectory) {
    SystemInfo& system = backend->SystemService();
    const std::string windows = system.WindowsDirectory();
    for (const char* text : {"%windir%", "%WINDIR%", "%SystemRoot%", "%systemroot%"}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(EqualsIgnoreCase(system.ExpandEnvironmentStrings(text), windows))
            << system.ExpandEnvironmentStrings(text);
    }
    EXPECT_TRUE(EqualsIgnoreCase(system.ExpandEnvironmentStrings("%SystemRoot%\\system32"),
                                 system.SystemDirectory()));
}

TEST_P(SystemContract, ReferencesExpandAsWindowsExpandsThem) {
    backend->SetEnvironment("QbEnvFolder", "C:\\Qb Env");
    backend->SetEnvironment("QbEnvName", "tool");
    backend->SetEnvironment("QbEnvHolder", "%QbEnvName%"); // set as it stands, not expanded
    backend->SetEnvironment("QbEnvUnset", "");
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%QbEnvFolder%\\%QbEnvName%.exe /x", "C:\\Qb Env\\tool.exe /x"},
        {"\"%QBENVFOLDER%\\app.exe\" %qbenvname%", "\"C:\\Qb Env\\app.exe\" tool"},
        {"%QbEnvName%%QbEnvName%", "tooltool"},
        {"%QbEnvUnset%\\app.exe", "%QbEnvUnset%\\app.exe"},
        {"%QbEnvUnset%QbEnvName%", "%QbEnvUnset%QbEnvName%"},
        {"%QbEnvUnset%%QbEnvName%", "%QbEnvUnset%tool"},
        {"%%", "%%"},
        {"100% %QbEnvName", "100% %QbEnvName"},
        {"%QbEnvName% 50%", "tool 50%"},
        {"C:\\plain\\app.exe", "C:\\plain\\app.exe"},
        {"", ""},
    };
    SystemInfo& system = backend->SystemService();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(system.ExpandEnvironmentStrings(c.text), c.expanded);
    }
    // Whether a value's own reference is expanded depends on who set it (Windows expands those of
    // REG_EXPAND_SZ values at logon); what expansion gives is never expanded a second time.
    const std::string holder = system.ExpandEnvironmentStrings("%QbEnvHolder%");
    EXPECT_TRUE(holder == "%QbEnvName%" || holder == "tool") << holder;
    EXPECT_EQ(system.ExpandEnvironmentStrings("[%QbEnvHolder%]"), "[" + holder + "]");
}

TEST_P(SystemContract, AnEmptyValueUnsetsTheVariable) {
    backend->SetEnvironment("QbEnvGone", "here");
    EXPECT_EQ(backend->SystemService().ExpandEnvironmentStrings("%QbEnvGone%"), "here");
    backend->SetEnvironment("QbEnvGone", "");
    EXPECT_EQ(backend->SystemService().ExpandEnvironmentStrings("%QbEnvGone%"), "%QbEnvGone%");
}

} // namespace qb::test

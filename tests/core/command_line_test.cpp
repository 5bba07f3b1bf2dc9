// What the program's own command line asks for.
#include "core/command_line.h"

#include <gtest/gtest.h>

using namespace pxh;
using TAction = TCommandLine::TAction;

TEST(CommandLine, Table) {
    const struct {
        QStringList args;
        TAction action;
        THandOverOrigin origin;
        QStringList handed;
    } cases[] = {
        {{}, TAction::caRun, THandOverOrigin::hoCommandLine, {}},
        {{"/tmp/a b.png", "/tmp/c"},
         TAction::caRun,
         THandOverOrigin::hoCommandLine,
         {"/tmp/a b.png", "/tmp/c"}},
        {{"pxh://app?op=area"}, TAction::caRun, THandOverOrigin::hoCommandLine, {"pxh://app?op=area"}},
        {{"--url", "pxh://app?op=area"}, TAction::caRun, THandOverOrigin::hoBrowser, {"pxh://app?op=area"}},
        {{"--help"}, TAction::caHelp, THandOverOrigin::hoCommandLine, {}},
        {{"/tmp/x", "-h"}, TAction::caHelp, THandOverOrigin::hoCommandLine, {}},
        {{"--version"}, TAction::caVersion, THandOverOrigin::hoCommandLine, {}},
        {{"--", "--help", "-x"}, TAction::caRun, THandOverOrigin::hoCommandLine, {"--help", "-x"}},
        {{"--url"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--bogus"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        // A path with "&" or "%" must reach the open command whole.
        {{"--open", "/tmp/a&b 100%.png"},
         TAction::caRun,
         THandOverOrigin::hoCommandLine,
         {"pxh://app?op=open&file=/tmp/a&b 100%.png"}},
        {{"--open"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"/tmp/x", "--unregister"}, TAction::caUnregister, THandOverOrigin::hoCommandLine, {}},
        {{"-"}, TAction::caRun, THandOverOrigin::hoCommandLine, {"-"}},
    };
    for (const auto& c : cases) {
        const TCommandLine parsed = ParseCommandLine(c.args);
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(parsed.Action, c.action) << name;
        if (c.action == TAction::caRun) {
            EXPECT_EQ(parsed.Origin, c.origin) << name;
            EXPECT_EQ(parsed.Arguments, c.handed) << name;
        }
        if (c.action == TAction::caError) {
            EXPECT_FALSE(parsed.Error.isEmpty()) << name;
        }
    }
}

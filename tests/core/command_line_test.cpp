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
        // The upload modes keep every path, in order, wherever --upload stands.
        {{"--upload", "/tmp/a b.png", "/tmp/été"},
         TAction::caUpload,
         THandOverOrigin::hoCommandLine,
         {"/tmp/a b.png", "/tmp/été"}},
        {{"/tmp/a", "--upload", "/tmp/b"},
         TAction::caUpload,
         THandOverOrigin::hoCommandLine,
         {"/tmp/a", "/tmp/b"}},
        {{"--upload", "--", "--help"}, TAction::caUpload, THandOverOrigin::hoCommandLine, {"--help"}},
        {{"--upload", "/tmp/x", "--help"}, TAction::caHelp, THandOverOrigin::hoCommandLine, {}},
        {{"--upload"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--upload", "/tmp/x", "--url", "pxh://app?op=area"},
         TAction::caError,
         THandOverOrigin::hoCommandLine,
         {}},
        {{"--open", "/tmp/x", "--upload"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--capture", "full", "--upload"}, TAction::caCaptureUpload, THandOverOrigin::hoCommandLine, {}},
        {{"--upload", "--capture", "full"}, TAction::caCaptureUpload, THandOverOrigin::hoCommandLine, {}},
        {{"--capture", "full"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--capture", "window", "--upload"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--upload", "--capture"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
        {{"--capture", "full", "--upload", "/tmp/x"}, TAction::caError, THandOverOrigin::hoCommandLine, {}},
    };
    for (const auto& c : cases) {
        const TCommandLine parsed = ParseCommandLine(c.args);
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(parsed.Action, c.action) << name;
        if (c.action == TAction::caRun) {
            EXPECT_EQ(parsed.Origin, c.origin) << name;
            EXPECT_EQ(parsed.Arguments, c.handed) << name;
        }
        // Nothing of an upload mode may reach the running instance.
        if (c.action == TAction::caUpload || c.action == TAction::caCaptureUpload) {
            EXPECT_EQ(parsed.UploadPaths, c.handed) << name;
            EXPECT_TRUE(parsed.Arguments.isEmpty()) << name;
        }
        if (c.action == TAction::caError) {
            EXPECT_FALSE(parsed.Error.isEmpty()) << name;
        }
    }
}

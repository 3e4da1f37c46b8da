// The rules task: what `/rules-task on|off` hands to the Task Scheduler (in process, through its
// entry point), that it registers nothing for a program others may replace, and the real
// program in Program Files when the Task Scheduler is missing.
#include "elevate/task.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/cli.h"
#include "toolkit/handles.h"
#include "toolkit/open_as_user.h"
#include "toolkit/utf8.h"

namespace fs = std::filesystem;
using namespace elevate;

namespace {

struct Call {
    TaskOperation operation;
    TaskDefinition definition;
};

class RulesTaskTest : public testing::Test {
  protected:
    int run(std::vector<std::wstring> args) {
        output = {};
        return cli::run(args, output);
    }
    std::vector<Call> calls;
    TaskResult answer{TaskStatus::Done, 0};
    ScopedTaskScheduler recorded{[&](TaskOperation operation, const TaskDefinition& definition) {
        calls.push_back({operation, definition});
        return answer;
    }};
    ScopedProtectedFolders programFolder{
        [] { return std::vector<std::wstring>{fs::path(tk::executablePath()).parent_path()}; }};
    tk::ScopedElevated elevated{[] { return true; }};
    cli::BufferOutput output;
};

} // namespace

TEST_F(RulesTaskTest, OnRegistersApplyRulesWithHighestPrivilegesAndOffRemovesIt) {
    EXPECT_EQ(run({L"/rules-task", L"ON"}), 0) << output.brought.err;
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, TaskOperation::Create);
    EXPECT_EQ(calls[0].definition.path, tk::executablePath());
    EXPECT_EQ(calls[0].definition.arguments, L"/apply-rules");
    EXPECT_TRUE(calls[0].definition.highest);
    EXPECT_EQ(calls[0].definition.name, L"Keldrast DNS rules");
    EXPECT_NE(output.brought.out.find(L"is in place"), std::wstring::npos);

    EXPECT_EQ(run({L"/rules-task", L"off"}), 0);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].operation, TaskOperation::Remove);
    answer = {TaskStatus::NotFound, static_cast<std::int32_t>(0x80070002U)};
    EXPECT_EQ(run({L"/rules-task", L"off"}), 0) << "nothing to remove is no failure";
    EXPECT_NE(output.brought.out.find(L"nothing to remove"), std::wstring::npos);

    answer = {TaskStatus::Unavailable, static_cast<std::int32_t>(0x80041315U)};
    EXPECT_EQ(run({L"/rules-task", L"on"}), 4);
    EXPECT_NE(output.brought.err.find(L"The Task Scheduler is missing here"), std::wstring::npos);

    for (const auto& bad : std::vector<std::vector<std::wstring>>{
             {L"/rules-task"}, {L"/rules-task", L"yes"}, {L"/rules-task", L"on", L"/json"}})
        EXPECT_EQ(run(bad), 1) << bad.size();
    EXPECT_EQ(calls.size(), 4u) << "bad arguments reach no scheduler";
}

TEST_F(RulesTaskTest, RegistersNothingForAProgramOthersMayReplace) {
    ScopedProtectedFolders elsewhere{
        [] { return std::vector<std::wstring>{L"C:\\Program Files"}; }};
    EXPECT_EQ(run({L"/rules-task", L"on"}), 4);
    EXPECT_TRUE(calls.empty());
    EXPECT_NE(output.brought.err.find(L"would start " + tk::executablePath()), std::wstring::npos)
        << output.brought.err;
}

// The real program, as an administrator would install it, with Wine's Task Scheduler: its
// service does not run by default, and where it runs it cannot set a task's logon type or run
// level (E_NOTIMPL). Either way the scheduler counts as missing, the program says so, and
// nothing is registered.
TEST(RulesTaskProgram, SaysTheTaskSchedulerIsMissing) {
    const fs::path folder = L"C:\\Program Files\\Keldrast Task Test";
    const fs::path exe = folder / "keldrast.exe", outFile = folder / "err.txt";
    (void)removeRulesTask(); // one a broken run may have left
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(fs::path(tk::executableDirectory()).parent_path() / "keldrast.exe", exe);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    tk::unique_handle err(CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                      CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = err.get();
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" /rules-task on";
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, folder.c_str(), &startup, &process);
    ASSERT_TRUE(started);
    tk::unique_handle processHandle(process.hProcess), thread(process.hThread);
    err.reset();
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::ifstream in(outFile, std::ios::binary);
    const std::wstring text = tk::fromUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
    in.close();
    fs::remove_all(folder);
    EXPECT_EQ(code, 4u);
    EXPECT_EQ(text.rfind(L"The Task Scheduler is missing here", 0), 0u) << text;
    // Nothing half made: a task without highest privileges would only fail at every switch.
    EXPECT_NE(queryRulesTask().status, TaskStatus::Done);
    (void)removeRulesTask();
}

// The rules task's definition, where its program may be, and what the Task Scheduler's answers
// mean for the user.
#include "elevate/rulestask.h"

#include <gtest/gtest.h>

using namespace elevate;

TEST(RulesTask, RunsOnlyApplyRulesWithHighestPrivilegesFromAProtectedFolder) {
    EXPECT_EQ(rulesTaskDefinition(L"C:\\Program Files\\Keldrast\\keldrast.exe"),
              (TaskDefinition{L"Keldrast DNS rules", L"C:\\Program Files\\Keldrast\\keldrast.exe",
                              L"/apply-rules", true}));

    const std::vector<std::wstring> folders{L"C:\\Program Files", L"C:\\Program Files (x86)\\"};
    struct Case {
        const wchar_t* path;
        bool inside;
    } cases[] = {
        {L"C:\\Program Files\\Keldrast\\keldrast.exe", true},
        {L"c:/program files/keldrast.exe", true},
        {L"C:\\Program Files (x86)\\K\\keldrast.exe", true},
        {L"C:\\Program Files Evil\\keldrast.exe", false},
        {L"C:\\Program Files", false},
        {L"C:\\Users\\me\\Downloads\\keldrast.exe", false},
        {L"C:\\Program Files\\..\\Users\\me\\keldrast.exe", false},
        {L"C:\\Program Files\\.\\keldrast.exe", false},
        {L"C:\\PROGRA~1\\keldrast.exe", false},
        {L"C:\\Program Files\\K~1\\keldrast.exe", false},
        {L"\\\\server\\C:\\Program Files\\keldrast.exe", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(insideFolders(c.path, folders), c.inside) << testing::PrintToString(c.path);
    EXPECT_FALSE(insideFolders(L"C:\\x\\keldrast.exe", {L"", L"C:"})) << "no folder to speak of";
}

TEST(RulesTask, NamesEachAnswerOfTheTaskSchedulerAndHowKeldrastCarriesOn) {
    struct Case {
        std::int32_t hresult;
        TaskStatus status;
    } cases[] = {
        {0, TaskStatus::Done},
        {1, TaskStatus::Done},
        {static_cast<std::int32_t>(0x80070002U), TaskStatus::NotFound},
        {static_cast<std::int32_t>(0x80070005U), TaskStatus::Denied},
        {static_cast<std::int32_t>(0x80041315U), TaskStatus::Unavailable},
        {static_cast<std::int32_t>(0x80040154U), TaskStatus::Unavailable},
        {static_cast<std::int32_t>(0x80004001U), TaskStatus::Unavailable},
        {static_cast<std::int32_t>(0x80004005U), TaskStatus::Failed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taskStatusOf(c.hresult), c.status) << std::hex << c.hresult;

    const std::wstring asking = L"Keldrast asks for administrator rights at each switch of network "
                                L"instead.";
    EXPECT_EQ(taskMessage(TaskOperation::Create, {TaskStatus::Unavailable, 0}),
              L"The Task Scheduler is missing here: its service is not running, or it cannot run a "
              L"task with highest privileges. " +
                  asking);
    EXPECT_EQ(taskMessage(TaskOperation::Create,
                          {TaskStatus::Failed, static_cast<std::int32_t>(0x80004005U)}),
              L"The scheduled task \"Keldrast DNS rules\" could not be created (error "
              L"0x80004005). " +
                  asking);
    EXPECT_EQ(taskMessage(TaskOperation::Remove,
                          {TaskStatus::Failed, static_cast<std::int32_t>(0x80004005U)}),
              L"The scheduled task \"Keldrast DNS rules\" could not be removed (error "
              L"0x80004005).");
    EXPECT_EQ(taskMessage(TaskOperation::Remove, {TaskStatus::NotFound, 0}),
              L"The scheduled task \"Keldrast DNS rules\" is not there: nothing to remove.");
    const auto unprotected =
        taskMessage(TaskOperation::Create, {TaskStatus::Unprotected, 0}, L"D:\\k\\keldrast.exe");
    EXPECT_NE(unprotected.find(L"would start D:\\k\\keldrast.exe with administrator rights"),
              std::wstring::npos)
        << unprotected;
    EXPECT_TRUE(unprotected.ends_with(asking));
}

#include "engine/NotificationPump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

class CRecorder final : public INotificationHandler {
public:
    std::int32_t answer = kReplyCancel;
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<std::pair<int, int>> frames;
    int polls = 0;

    std::int32_t OnMessage(const Notification& n) override {
        messages.emplace_back(n.Text());
        return answer;
    }
    void OnStatus(const Notification& n) override { statuses.push_back(n.TakeStatus()); }
    void OnProgress(const Notification& n) override {
        frames.emplace_back(n.ProgressFrame(), n.ProgressFrameCount());
    }
    void OnPoll() override { ++polls; }
};

std::shared_ptr<MessageTicket> PostMessage(CNotificationQueue& queue, const char* text) {
    auto ticket = std::make_shared<MessageTicket>();
    CopyTextCut(ticket->text, sizeof ticket->text, text);
    queue.Post(WM_CONVERT_MESSAGE, reinterpret_cast<WPARAM>(ticket->text),
               reinterpret_cast<LPARAM>(&ticket->reply), ticket);
    return ticket;
}

TEST(NotificationPump, HandsEveryKindToItsHandlerUntilTheCompletionNotice) {
    CNotificationQueue queue;
    StatusTextCell status;
    ASSERT_TRUE(status.TryPut("2 / 7"));
    const auto ticket = PostMessage(queue, "ERROR: Adding Video Frame");
    queue.Post(WM_CONVERT_STATUS, reinterpret_cast<WPARAM>(&status), 0, nullptr);
    queue.Post(WM_CONVERT_PROGRESS, 1000 * 3 / 7, PackProgressFrames(3, 7), nullptr);
    queue.Post(WM_CONVERT_PROGRESS, static_cast<WPARAM>(-1), -1, nullptr);
    queue.Post(WM_CONVERT_DONE, 1, 0, nullptr);
    queue.Post(WM_CONVERT_PROGRESS, 1000, PackProgressFrames(7, 7), nullptr); // after the end

    CRecorder handler;
    EXPECT_EQ(PumpNotifications(queue, handler), 1);
    EXPECT_EQ(handler.messages, std::vector<std::string>{"ERROR: Adding Video Frame"});
    EXPECT_EQ(ticket->reply.load(), kReplyCancel);
    EXPECT_EQ(handler.statuses, std::vector<std::string>{"2 / 7"});
    EXPECT_TRUE(status.IsFree());
    EXPECT_EQ(handler.frames, (std::vector<std::pair<int, int>>{{3, 7}, {-1, -1}}));
    EXPECT_EQ(handler.polls, 5); // once before every wait
}

TEST(NotificationPump, AMessageKeptForLaterStaysUnanswered) {
    CNotificationQueue queue;
    const auto ticket = PostMessage(queue, "FEHLER: Öffne Input AVI");
    queue.Post(WM_CONVERT_DONE, 0, 0, nullptr);
    CRecorder handler;
    handler.answer = INotificationHandler::kNoAnswerYet;
    EXPECT_EQ(PumpNotifications(queue, handler), 0);
    EXPECT_EQ(ticket->reply.load(), 0);
}

TEST(NotificationPump, GivesUpAtTheDeadlineAndPollsMeanwhile) {
    CNotificationQueue queue;
    CRecorder handler;
    PumpOptions options;
    options.pollPeriod = 10ms;
    options.deadline = std::chrono::steady_clock::now() + 100ms;
    EXPECT_EQ(PumpNotifications(queue, handler, options), -1);
    EXPECT_GE(std::chrono::steady_clock::now(), options.deadline); // not before it
    EXPECT_GE(handler.polls, 3);
}

} // namespace

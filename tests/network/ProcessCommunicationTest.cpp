// The debug channel with both sides in this process over in-memory shared objects.
#include "NETWORK/CProcessCommunication.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Application/PlatformServicesScope.h"
#include "CORE/CLogWindow.h"
#include "CORE/RuntimeConfiguration.h"
#include "NETWORK/Platform/HeadlessSharedMemoryService.h"
#include "network/NetworkTestSupport.h"

namespace {

using namespace kestrin;

// The debugger's side: keeps every request and answers "ok".
class Tool : public CProcessCommunication {
public:
    Tool(const std::string& name, size_t size) : CProcessCommunication(name, size) {}
    void OnRequest(uint8_t* bytes, uint32_t& length) override {
        requests.emplace_back(reinterpret_cast<const char*>(bytes), length);
        if (!answer.empty()) {
            std::copy(answer.begin(), answer.end(), bytes);
            length = static_cast<uint32_t>(answer.size());
        }
        if (claimedLength) length = claimedLength;
    }
    std::vector<std::string> requests;
    std::string answer;
    uint32_t claimedLength = 0;
};

// The engine's side, recording replies: it reads them from the mapping itself, as the
// channel leaves their bytes unread.
class Engine : public CProcessCommunication {
public:
    explicit Engine(const std::string& name)
        : CProcessCommunication(name, 0), m_view(GetSharedMemoryService()->OpenMapping(name + "_map", nullptr)) {}
    void OnReply(uint32_t length) override {
        std::string reply(length, '\0');
        if (m_view && !m_view->Read(4, &reply[0], length)) replies.push_back(reply);
    }
    std::vector<std::string> replies;

private:
    std::unique_ptr<ISharedMapping> m_view;
};

std::string Z(const std::string& text) { return text + std::string(1, '\0'); }

class ProcessCommunicationFake : public ::testing::Test {
protected:
    void SetUp() override {
        SPlatformServices services = PlatformServicesInEffect();
        services.sharedMemoryService = Unowned(m_shared);
        m_services.emplace(services);
        ASSERT_FALSE(m_services->Failed());
    }
    void TearDown() override { m_services.reset(); }
    // Polls both sides until the engine has nothing in flight or queued.
    void Exchange(Tool& tool, Engine& engine) {
        while (engine.IsInFlight() || engine.GetQueuedCount() > 0) {
            tool.Poll();
            engine.Poll();
        }
    }

    kestrin_test::LogCapture m_log;
    HeadlessSharedMemoryService m_shared;
    std::optional<PlatformServicesScope> m_services;
};

TEST_F(ProcessCommunicationFake, WithoutADebuggerTheChannelStaysClosedAndSendsNothing) {
    Engine engine("Channel");
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_TRUE(engine.Send("text", 5));
    EXPECT_TRUE(engine.SendText("text\n"));
    EXPECT_TRUE(engine.Poll());
    EXPECT_FALSE(engine.Flush(0));
    // A debugger that starts later is not picked up by this channel.
    Tool tool("Channel", 64);
    EXPECT_TRUE(engine.Send("text", 5));
    tool.Poll();
    EXPECT_TRUE(tool.requests.empty());
    // The engine made no shared object itself: the three are the tool's.
    EXPECT_EQ(m_shared.createCalls, 3);
}

TEST_F(ProcessCommunicationFake, MessagesSentWhileOneIsInFlightLeaveOneAfterAnotherInOrder) {
    Tool tool("Channel", 64);
    Engine engine("Channel");
    ASSERT_TRUE(engine.IsOpen());
    tool.answer = "ok";
    EXPECT_FALSE(engine.Send("one", 4));
    EXPECT_FALSE(engine.Send("two", 4));
    EXPECT_FALSE(engine.Send("three", 6));
    EXPECT_TRUE(engine.IsInFlight());
    EXPECT_EQ(engine.GetQueuedCount(), 2u);
    // Nothing new leaves before the reply to the one in flight.
    engine.Poll();
    tool.Poll();
    EXPECT_EQ(tool.requests, (std::vector<std::string>{Z("one")}));
    tool.Poll();
    EXPECT_EQ(tool.requests.size(), 1u);
    Exchange(tool, engine);
    tool.Poll();
    EXPECT_EQ(tool.requests, (std::vector<std::string>{Z("one"), Z("two"), Z("three")}));
    engine.Poll();
    EXPECT_EQ(engine.replies, (std::vector<std::string>{"ok", "ok", "ok"}));
    EXPECT_FALSE(engine.IsInFlight());
}

TEST_F(ProcessCommunicationFake, LongTextIsSplitIntoMessagesThatFitEachEndingInAZero) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> messages;
    };
    // A 20-byte mapping carries 16 message bytes: 15 of text and the zero.
    const std::vector<Case> cases = {
        {"short", "line one\n", {Z("line one\n")}},
        {"at line ends", "first line\nsecond line\nthird\n", {Z("first line\n"), Z("second line\n"), Z("third\n")}},
        {"a line longer than a message",
         std::string(40, 'x') + "\n",
         {Z(std::string(15, 'x')), Z(std::string(15, 'x')), Z(std::string(10, 'x') + "\n")}},
        {"exactly full", std::string(15, 'y'), {Z(std::string(15, 'y'))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tool tool("Split", 20);
        Engine engine("Split");
        ASSERT_EQ(engine.GetMessageCapacity(), 16u);
        EXPECT_FALSE(engine.SendText(c.text));
        Exchange(tool, engine);
        tool.Poll();
        EXPECT_EQ(tool.requests, c.messages);
    }
}

TEST_F(ProcessCommunicationFake, MessagesThatCannotFitAreRefusedAndBadLengthsInTheMappingAreNotRead) {
    Tool tool("Bounds", 16);
    Engine engine("Bounds");
    EXPECT_TRUE(engine.Send(std::string(13, 'a').data(), 13));
    EXPECT_FALSE(engine.Send(std::string(12, 'a').data(), 12));
    // The debugger claims a reply longer than the mapping: the engine does not read it.
    tool.answer = "";
    tool.Poll();
    auto mapping = m_shared.OpenMapping("Bounds_map", nullptr);
    const uint8_t huge = 0x7F;
    mapping->Write(3, &huge, 1);
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
    engine.Poll();
    CLogWindow::SetLineSink(nullptr);
    EXPECT_TRUE(engine.replies.empty());
    EXPECT_FALSE(engine.IsInFlight());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("runs past the shared memory and was dropped"), std::string::npos) << log[0];
}

TEST_F(ProcessCommunicationFake, TheCreatingSideNeverReadsOrAnswersPastTheMapping) {
    Tool tool("Bounds", 16);
    Engine engine("Bounds");
    // A request whose length runs past the mapping is answered empty and unread.
    auto mapping = m_shared.OpenMapping("Bounds_map", nullptr);
    auto request = m_shared.OpenEvent("Bounds_server", nullptr);
    const uint8_t bad[4] = {13, 0, 0, 0};
    mapping->Write(0, bad, 4);
    request->Set();
    std::vector<std::string> log;
    CLogWindow::SetLineSink([&](const std::string& line) { log.push_back(line); });
    tool.Poll();
    CLogWindow::SetLineSink(nullptr);
    EXPECT_TRUE(tool.requests.empty());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("a request of 13 bytes runs past the shared memory"), std::string::npos) << log[0];
    uint8_t first = 0xFF;
    ASSERT_FALSE(mapping->Read(0, &first, 1));
    EXPECT_EQ(first, 0);
    // An answer claimed longer than the mapping is cut to it.
    auto reply = m_shared.OpenEvent("Bounds_client", nullptr);
    reply->TryWait();
    tool.answer = std::string(12, 'r');
    tool.claimedLength = 5000;
    engine.Send("x", 1);
    tool.Poll();
    engine.Poll();
    ASSERT_EQ(engine.replies.size(), 1u);
    EXPECT_EQ(engine.replies[0], std::string(12, 'r'));
    EXPECT_TRUE(CProcessCommunication(std::string("Tiny"), 8).IsOpen() == false);
}

TEST_F(ProcessCommunicationFake, AFullQueueDropsTheOldestSoThatExitStillGoesLast) {
    Tool tool("Queue", 64);
    Engine engine("Queue");
    engine.Send("first", 6);
    for (size_t i = 0; i < CProcessCommunication::kMaxQueuedMessages + 10; ++i) {
        std::string text = std::to_string(i);
        engine.Send(text.c_str(), text.size() + 1);
    }
    EXPECT_EQ(engine.GetQueuedCount(), CProcessCommunication::kMaxQueuedMessages);
    engine.Send("EXIT", 5);
    EXPECT_EQ(engine.GetQueuedCount(), CProcessCommunication::kMaxQueuedMessages);
    Exchange(tool, engine);
    tool.Poll();
    ASSERT_EQ(tool.requests.size(), CProcessCommunication::kMaxQueuedMessages + 1);
    EXPECT_EQ(tool.requests.front(), Z("first"));
    EXPECT_EQ(tool.requests[1], Z("11"));
    EXPECT_EQ(tool.requests.back(), Z("EXIT"));
    EXPECT_EQ(m_log.CountWithin("older trace text is dropped"), 1) << m_log.All();
}

TEST_F(ProcessCommunicationFake, FlushGivesUpWhenTheDebuggerDoesNotAnswer) {
    Tool tool("Flush", 64);
    Engine engine("Flush");
    engine.Send("a", 2);
    engine.Send("EXIT", 5);
    // The in-memory wait never blocks: without an answer the flush gives up at once.
    EXPECT_TRUE(engine.Flush(1000));
    EXPECT_EQ(engine.GetQueuedCount(), 1u);
    // With the answer in, the rest leaves.
    tool.Poll();
    EXPECT_TRUE(engine.Flush(1000));
    tool.Poll();
    EXPECT_FALSE(engine.Flush(1000));
    EXPECT_EQ(tool.requests, (std::vector<std::string>{Z("a"), Z("EXIT")}));
}

// The system's objects, as another process would make or change them.
class ProcessCommunicationSystem : public ::testing::Test {
protected:
    // A fresh channel name for each case.
    void NewName() {
        static int counter = 0;
        m_name = "KestrinTest_pc_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    }
    // Runs change on a descriptor of the channel's mapping.
    template <typename Change>
    int OnMapping(Change change) {
        int fd = shm_open(("/" + m_name + "_map").c_str(), O_RDWR, 0);
        if (fd < 0) return -1;
        int result = change(fd);
        close(fd);
        return result;
    }
    off_t MappingSize() {
        struct stat info = {};
        OnMapping([&](int fd) { return fstat(fd, &info); });
        return info.st_size;
    }

    kestrin_test::LogCapture m_log;
    std::string m_name;
};

TEST_F(ProcessCommunicationSystem, ObjectsOfAnotherUserOrOpenToOthersAreNotUsed) {
    struct Case {
        const char* what;
        const char* object;  // "_map", "_server", "_client"; null: leave them as made
        int owner;           // -1: keep
        mode_t mode;         // 0: keep
        const char* logged;
    };
    const Case cases[] = {
        {"as the debugger makes them", nullptr, -1, 0, nullptr},
        {"mapping of another user", "_map", 65534, 0, "belongs to user 65534"},
        {"mapping readable by the group", "_map", -1, 0640, "is open to other users (mode 640)"},
        {"request event of another user", "_server", 65534, 0, "belongs to user 65534"},
        {"reply event writable by others", "_client", -1, 0602, "is open to other users (mode 602)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewName();
        m_log.lines.clear();
        Tool tool(m_name, 64);
        ASSERT_TRUE(tool.IsOpen());
        if (c.object) {
            const std::string object = c.object;
            int failed = 0;
            if (object == "_map") {
                failed = OnMapping([&](int fd) { return c.owner >= 0 ? fchown(fd, c.owner, -1) : fchmod(fd, c.mode); });
            } else {
                const std::string file = "/dev/shm/sem." + m_name + object;
                failed = c.owner >= 0 ? chown(file.c_str(), c.owner, -1) : chmod(file.c_str(), c.mode);
            }
            if (failed != 0 && errno == EPERM) {
                std::printf("%s: skipped, changing the owner needs root\n", c.what);
                continue;
            }
            ASSERT_EQ(failed, 0) << std::strerror(errno);
        }
        Engine engine(m_name);
        if (!c.logged) {
            EXPECT_TRUE(engine.IsOpen());
            EXPECT_EQ(m_log.CountWithin("debug channel"), 0) << m_log.All();
            continue;
        }
        EXPECT_FALSE(engine.IsOpen());
        EXPECT_TRUE(engine.Send("trace", 6));
        EXPECT_TRUE(engine.Poll());
        tool.Poll();
        EXPECT_TRUE(tool.requests.empty());
        ASSERT_EQ(m_log.CountWithin("the channel stays closed"), 1) << m_log.All();
        EXPECT_EQ(m_log.CountWithin(c.logged), 1) << m_log.All();
        EXPECT_EQ(m_log.CountWithin(m_name + c.object), 1) << m_log.All();
    }
}

TEST_F(ProcessCommunicationSystem, AMappingShrunkUnderTheChannelClosesItWithoutACrash) {
    enum Moment { Idle, ReplyWaiting, RequestWaiting };
    struct Case {
        const char* what;
        Moment moment;
        off_t size;
    };
    const Case cases[] = {
        {"idle, then a send", Idle, 0},
        {"to part of the length, then a send", Idle, 2},
        {"with the reply waiting", ReplyWaiting, 0},
        {"with the request waiting for the debugger", RequestWaiting, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewName();
        m_log.lines.clear();
        Tool tool(m_name, 64);
        tool.answer = "ok";
        Engine engine(m_name);
        ASSERT_TRUE(engine.IsOpen());
        if (c.moment != Idle) {
            ASSERT_FALSE(engine.Send("one", 4));
            ASSERT_FALSE(engine.Send("two", 4));
        }
        if (c.moment == ReplyWaiting) tool.Poll();
        ASSERT_EQ(OnMapping([&](int fd) { return ftruncate(fd, c.size); }), 0);

        if (c.moment == Idle) {
            EXPECT_TRUE(engine.Send("one", 4));
        } else {
            // The debugger cannot read the request either; it still releases the engine.
            EXPECT_EQ(tool.Poll(), c.moment == RequestWaiting);
            EXPECT_TRUE(engine.Poll());
        }
        EXPECT_FALSE(engine.IsOpen());
        EXPECT_EQ(engine.GetQueuedCount(), 0u);
        EXPECT_TRUE(engine.replies.empty());
        EXPECT_TRUE(engine.Send("later", 6));
        EXPECT_FALSE(engine.Flush(1000));
        // Nothing was written past the new end: the object keeps the size it was given.
        EXPECT_EQ(MappingSize(), c.size);
        EXPECT_EQ(m_log.CountWithin("the channel is closed"), c.moment == RequestWaiting ? 2 : 1) << m_log.All();
    }
}

TEST_F(ProcessCommunicationSystem, ASemaphoreFileShrunkUnderTheChannelClosesItWithoutACrash) {
    enum Moment { BeforeOpen, Idle, ReplyWaiting };
    struct Case {
        const char* what;
        const char* object;
        Moment moment;
        const char* logged;
    };
    const Case cases[] = {
        {"request event, before the engine opens it", "_server", BeforeOpen, "is not a semaphore"},
        {"request event, idle, then a send", "_server", Idle, "_server\" no longer holds its semaphore"},
        {"reply event, idle, then a send", "_client", Idle, "_client\" no longer holds its semaphore"},
        {"reply event, with the reply waiting", "_client", ReplyWaiting, "_client\" no longer holds its semaphore"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewName();
        m_log.lines.clear();
        Tool tool(m_name, 64);
        ASSERT_TRUE(tool.IsOpen());
        const std::string file = "/dev/shm/sem." + m_name + c.object;
        if (c.moment == BeforeOpen) ASSERT_EQ(truncate(file.c_str(), 0), 0);
        Engine engine(m_name);
        if (c.moment == BeforeOpen) {
            EXPECT_FALSE(engine.IsOpen());
            EXPECT_EQ(m_log.CountWithin(c.logged), 1) << m_log.All();
            continue;
        }
        ASSERT_TRUE(engine.IsOpen());
        if (c.moment == ReplyWaiting) {
            ASSERT_FALSE(engine.Send("one", 4));
            tool.Poll();
        }
        ASSERT_EQ(truncate(file.c_str(), 0), 0);
        engine.Send("two", 4);
        engine.Poll();
        EXPECT_FALSE(engine.IsOpen());
        EXPECT_TRUE(engine.Poll());
        EXPECT_TRUE(engine.Send("later", 6));
        EXPECT_FALSE(engine.Flush(1000));
        EXPECT_EQ(m_log.CountWithin(c.logged), 1) << m_log.All();
        EXPECT_EQ(m_log.CountWithin("the channel is closed"), 1) << m_log.All();
    }
}

// A debugger that takes a message and then breaks an object answers no more; the engine
// never touches that object again while it waits, so the wait at exit looks at each one and
// names the broken one instead of blaming a silent debugger.
TEST_F(ProcessCommunicationSystem, AnObjectBrokenWhileAMessageIsInFlightIsNamedWhenTheFlushGivesUp) {
    for (const char* object : {"_server", "_map"}) {
        SCOPED_TRACE(object);
        NewName();
        m_log.lines.clear();
        Tool tool(m_name, 64);
        ASSERT_TRUE(tool.IsOpen());
        Engine engine(m_name);
        ASSERT_TRUE(engine.IsOpen());
        ASSERT_FALSE(engine.Send("one", 4));
        ASSERT_FALSE(engine.Send("two", 4));
        const std::string file =
            std::string(object) == "_map" ? "/dev/shm/" + m_name + object : "/dev/shm/sem." + m_name + object;
        ASSERT_EQ(truncate(file.c_str(), 0), 0);
        EXPECT_TRUE(engine.Flush(20));
        EXPECT_FALSE(engine.IsOpen());
        EXPECT_EQ(engine.GetQueuedCount(), 0u);
        const char* logged = std::string(object) == "_map" ? "the shared memory no longer holds its size"
                                                           : "_server\" no longer holds its semaphore";
        EXPECT_EQ(m_log.CountWithin(logged), 1) << m_log.All();
    }
}

// Another thread shrinks and restores one of the objects over and over while messages go
// back and forth: whatever access meets the shrunk object, the channel closes, once.
TEST_F(ProcessCommunicationSystem, ObjectsShrunkWhileMessagesGoBackAndForthCloseTheChannel) {
    for (const char* object : {"_map", "_server", "_client"}) {
        SCOPED_TRACE(object);
        NewName();
        m_log.lines.clear();
        Tool creator(m_name, 64);
        Engine engine(m_name);
        ASSERT_TRUE(engine.IsOpen());
        // The debugger's part, through events that fail rather than fault: every round it
        // takes the request (if any) and releases the engine, so that the engine touches
        // both events again and again.
        auto request = GetSharedMemoryService()->OpenEvent(m_name + "_server", nullptr);
        auto reply = GetSharedMemoryService()->OpenEvent(m_name + "_client", nullptr);
        ASSERT_TRUE(request && reply);
        const std::string path =
            std::string(object) == "_map" ? "/dev/shm/" + m_name + object : "/dev/shm/sem." + m_name + object;
        struct stat info = {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        std::atomic<bool> stop(false);
        std::atomic<int> flips(0);
        std::thread shrinker([&] {
            while (!stop) {
                if (truncate(path.c_str(), 0) != 0 || truncate(path.c_str(), info.st_size) != 0) break;
                ++flips;
            }
        });
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        while (engine.IsOpen() && std::chrono::steady_clock::now() < giveUp) {
            if (!engine.IsInFlight()) engine.Send("trace", 6);
            request->TryWait();
            reply->Set();
            engine.Poll();
        }
        stop = true;
        shrinker.join();
        EXPECT_GT(flips.load(), 0);
        EXPECT_FALSE(engine.IsOpen());
        EXPECT_EQ(m_log.CountWithin("the channel is closed"), 1) << m_log.All();
    }
}

// A debugger built on the system's own calls (sem_open, sem_post, sem_trywait on the same
// names) talks with the engine's side.
TEST_F(ProcessCommunicationSystem, ADebuggerUsingTheSystemsNamedSemaphoresIsUnderstood) {
    NewName();
    const std::string map = "/" + m_name + "_map", server = "/" + m_name + "_server", client = "/" + m_name + "_client";
    int fd = shm_open(map.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 64), 0);
    sem_t* requests = sem_open(server.c_str(), O_CREAT | O_EXCL, 0600, 0);
    sem_t* replies = sem_open(client.c_str(), O_CREAT | O_EXCL, 0600, 0);
    ASSERT_NE(requests, SEM_FAILED);
    ASSERT_NE(replies, SEM_FAILED);
    {
        Engine engine(m_name);
        ASSERT_TRUE(engine.IsOpen());
        ASSERT_FALSE(engine.Send("hello", 6));
        ASSERT_EQ(sem_trywait(requests), 0);
        char request[10] = {};
        ASSERT_EQ(pread(fd, request, sizeof request, 0), static_cast<ssize_t>(sizeof request));
        EXPECT_EQ(std::string(request, 10), std::string("\x06\0\0\0hello\0", 10));
        const char answer[6] = {2, 0, 0, 0, 'o', 'k'};
        ASSERT_EQ(pwrite(fd, answer, 6, 0), 6);
        ASSERT_EQ(sem_post(replies), 0);
        engine.Poll();
        EXPECT_EQ(engine.replies, (std::vector<std::string>{"ok"}));
        EXPECT_FALSE(engine.IsInFlight());
        // A second set before the debugger looks leaves one signal.
        engine.Send("a", 2);
        int value = -1;
        ASSERT_EQ(sem_getvalue(requests, &value), 0);
        EXPECT_EQ(value, 1);
    }
    close(fd);
    sem_close(requests);
    sem_close(replies);
    shm_unlink(map.c_str());
    sem_unlink(server.c_str());
    sem_unlink(client.c_str());

    // And the engine's creating side is understood by a debugger opening it with sem_open.
    NewName();
    Tool tool(m_name, 64);
    sem_t* toTool = sem_open(("/" + m_name + "_server").c_str(), 0);
    sem_t* fromTool = sem_open(("/" + m_name + "_client").c_str(), 0);
    ASSERT_NE(toTool, SEM_FAILED);
    ASSERT_NE(fromTool, SEM_FAILED);
    OnMapping([](int mapping) { return static_cast<int>(pwrite(mapping, "\x03\0\0\0hi\0", 7, 0)); });
    ASSERT_EQ(sem_post(toTool), 0);
    EXPECT_FALSE(tool.Poll());
    EXPECT_EQ(tool.requests, (std::vector<std::string>{Z("hi")}));
    EXPECT_EQ(sem_trywait(fromTool), 0);
    sem_close(toTool);
    sem_close(fromTool);
}

// A reply's length is all the engine reads of it, however large the mapping and the claim.
TEST(ProcessCommunicationReply, OnlyTheLengthOfAReplyIsRead) {
    // A mapping as large as it says, holding nothing but a length; it records every read.
    struct Mapping : ISharedMapping {
        size_t size = 0;
        uint32_t length = 0;
        std::vector<std::pair<size_t, size_t>> reads;
        size_t Size() const override { return size; }
        bool Read(size_t offset, void* out, size_t count) override {
            reads.emplace_back(offset, count);
            if (offset != 0 || count != 4) return true;
            const uint8_t bytes[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                      static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
            std::memcpy(out, bytes, 4);
            return false;
        }
        bool Write(size_t offset, const void* data, size_t count) override {
            (void)data;
            return offset > size || count > size - offset;
        }
    };
    struct Signalled : INamedEvent {
        bool Set() override { return false; }
        bool TryWait() override { return true; }
        bool Wait(int timeoutMs) override { return timeoutMs >= 0; }
        bool IsGone() const override { return false; }
    };
    struct Service : ISharedMemoryService {
        size_t size = 0;
        Mapping* mapping = nullptr;
        std::unique_ptr<ISharedMapping> OpenMapping(const std::string&, std::string*) override {
            auto made = std::make_unique<Mapping>();
            made->size = size;
            mapping = made.get();
            return made;
        }
        std::unique_ptr<INamedEvent> OpenEvent(const std::string&, std::string*) override {
            return std::make_unique<Signalled>();
        }
        std::unique_ptr<ISharedMapping> CreateMapping(const std::string&, size_t) override { return nullptr; }
        std::unique_ptr<INamedEvent> CreateEvent(const std::string&) override { return nullptr; }
    };
    struct LengthEngine : CProcessCommunication {
        LengthEngine() : CProcessCommunication("Reply", 0) {}
        void OnReply(uint32_t length) override { lengths.push_back(length); }
        std::vector<uint32_t> lengths;
    };
    struct Case {
        size_t mapping;
        uint32_t claimed;
        bool taken;
    };
    const Case cases[] = {
        {64, 0, true},
        {64, 5, true},
        {64, 60, true},
        {64, 61, false},
        {64, 0xFFFFFFFFu, false},
        {size_t{1} << 30, (1u << 30) - 4, true},  // a sparse 1 GiB object, full
        {0x100000003ull, 0xFFFFFFFFu, true},      // the largest length, exactly fitting
        {size_t{1} << 33, 0xFFFFFFFFu, true},     // more mapping than a length can say
    };
    kestrin_test::LogCapture log;
    Service service;
    SPlatformServices services = PlatformServicesInEffect();
    services.sharedMemoryService = Unowned(service);
    PlatformServicesScope scope(services);
    ASSERT_FALSE(scope.Failed());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mapping) + " bytes, " + std::to_string(c.claimed) + " claimed");
        log.lines.clear();
        service.size = c.mapping;
        LengthEngine engine;
        ASSERT_TRUE(engine.IsOpen());
        service.mapping->length = c.claimed;
        EXPECT_EQ(engine.GetMessageCapacity(), std::min<size_t>(c.mapping - 4, 0xFFFFFFFFu));
        ASSERT_FALSE(engine.Send("x", 2));
        EXPECT_FALSE(engine.Poll());
        EXPECT_EQ(service.mapping->reads, (std::vector<std::pair<size_t, size_t>>{{0, 4}}));
        EXPECT_EQ(engine.lengths, c.taken ? std::vector<uint32_t>{c.claimed} : std::vector<uint32_t>{});
        EXPECT_EQ(log.CountWithin("runs past the shared memory and was dropped"), c.taken ? 0 : 1) << log.All();
        EXPECT_FALSE(engine.IsInFlight());
        EXPECT_TRUE(engine.IsOpen());
    }
}

TEST(ProcessCommunicationReader, TheLengthMustFitTheView) {
    const uint8_t view[] = {3, 0, 0, 0, 'a', 'b', 'c', 0};
    uint32_t length = 0;
    EXPECT_TRUE(CProcessCommunication::ReadMessage(view, 8, length));
    EXPECT_EQ(length, 3u);
    EXPECT_TRUE(CProcessCommunication::ReadMessage(view, 7, length));
    EXPECT_FALSE(CProcessCommunication::ReadMessage(view, 6, length));
    EXPECT_FALSE(CProcessCommunication::ReadMessage(view, 3, length));
    EXPECT_FALSE(CProcessCommunication::ReadMessage(nullptr, 8, length));
    const uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_FALSE(CProcessCommunication::ReadMessage(huge, 5, length));
}

TEST(DebugChannelName, TheEnvironmentNamesTheChannel) {
    kestrin_test::LogCapture log;
    struct Case {
        const char* value;
        const char* name;
    };
    const Case cases[] = {
        {nullptr, "Kestrin_Debug"}, {"", "Kestrin_Debug"}, {"Run_42", "Run_42"}, {"a/b", "Kestrin_Debug"}};
    for (const Case& c : cases) {
        kestrin::SetRuntimeConfiguration(kestrin::ReadRuntimeConfiguration(
            [&](const char* name) { return std::string(name) == "KESTRIN_DEBUG_CHANNEL" ? c.value : nullptr; }));
        EXPECT_EQ(CProcessCommunication::GetDebugChannelName(), c.name);
    }
    kestrin::SetRuntimeConfiguration({});
    EXPECT_EQ(log.CountWithin("is not a usable name"), 1) << log.All();
}

}  // namespace

// The progress object: its states, and that a poller never sees the end without the failure
// (or the final fraction) that was recorded before it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "export/CProgressStatus.h"

namespace sondrel {
namespace {

ComPtr<CProgressStatus> MakeProgress() {
    return ComPtr<CProgressStatus>::Attach(new CProgressStatus());
}

TEST(ProgressStatus, StatesFromFreshThroughFailureAndReset) {
    auto progress = MakeProgress();
    float fraction = -1.0f;
    EXPECT_EQ(progress->GetResult(), S_FALSE);
    EXPECT_EQ(progress->GetProgress(fraction), S_OK);
    EXPECT_EQ(fraction, 0.0f);
    EXPECT_EQ(progress->IsCancelRequested(), S_FALSE);

    progress->SetProgress(0.5f);
    progress->SetDone();
    EXPECT_EQ(progress->GetResult(), S_OK);

    progress->Reset();
    EXPECT_EQ(progress->GetResult(), S_FALSE);
    progress->SetError(E_FAIL);
    // A failure counts even before the end is marked.
    EXPECT_EQ(progress->GetResult(), E_FAIL);
    progress->SetDone();
    HRESULT code = S_OK;
    EXPECT_EQ(progress->GetResult(), E_FAIL);
    EXPECT_EQ(progress->GetErrorCode(code), S_OK);
    EXPECT_EQ(code, E_FAIL);

    progress->RequestCancel();
    progress->SetValue(-7);
    progress->SetStatusText("moving");
    progress->Reset();
    std::int32_t value = 1;
    std::string text = "x";
    EXPECT_EQ(progress->GetResult(), S_FALSE);
    EXPECT_EQ(progress->GetErrorCode(code), S_OK);
    EXPECT_EQ(code, S_OK);
    EXPECT_EQ(progress->IsCancelRequested(), S_FALSE);
    progress->GetValue(value);
    progress->GetStatusText(text);
    progress->GetProgress(fraction);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(fraction, 0.0f);
}

TEST(ProgressStatus, AnswersForItsInterfacesOnly) {
    auto progress = MakeProgress();
    void* object = nullptr;
    EXPECT_EQ(progress->QueryInterface(IID_IProgressStatus, &object), S_OK);
    ASSERT_NE(object, nullptr);
    static_cast<IProgressStatus*>(object)->Release();
    EXPECT_EQ(progress->QueryInterface(IID_IProgressStatus2, &object), S_OK);
    static_cast<IProgressStatus2*>(object)->Release();
    EXPECT_EQ(progress->QueryInterface(GUID{1, 2, 3, {}}, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST(ProgressStatus, FractionIsKeptWithinZeroAndOne) {
    auto progress = MakeProgress();
    float fraction = 0.0f;
    progress->SetProgress(1.5f);
    progress->GetProgress(fraction);
    EXPECT_EQ(fraction, 1.0f);
    progress->SetProgress(std::numeric_limits<float>::quiet_NaN());
    progress->GetProgress(fraction);
    EXPECT_EQ(fraction, 0.0f);
}

// A worker reports a fraction, a failure and the end while another thread polls: whenever the
// poller sees the end it must also see the failure, its code and the last fraction.
TEST(ProgressStatus, EndIsNeverSeenWithoutWhatPrecededIt) {
    constexpr int kRuns = 400;
    int failuresSeen = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto progress = MakeProgress();
        const bool fail = (run % 2) == 0;
        std::atomic<bool> go{false};
        std::thread worker([&] {
            while (!go.load(std::memory_order_acquire))
                std::this_thread::yield();
            progress->SetProgress(1.0f);
            if (fail)
                progress->SetError(E_FAIL);
            progress->SetDone();
        });
        go.store(true, std::memory_order_release);
        HRESULT result = S_FALSE;
        while ((result = progress->GetResult()) == S_FALSE)
            std::this_thread::yield();
        if (fail) {
            ++failuresSeen;
            HRESULT code = S_OK;
            progress->GetErrorCode(code);
            ASSERT_EQ(result, E_FAIL) << "run " << run;
            ASSERT_EQ(code, E_FAIL) << "run " << run;
        } else {
            ASSERT_EQ(result, S_OK) << "run " << run;
            float fraction = 0.0f;
            progress->GetProgress(fraction);
            ASSERT_EQ(fraction, 1.0f) << "run " << run;
        }
        worker.join();
    }
    EXPECT_EQ(failuresSeen, kRuns / 2);
}

}  // namespace
}  // namespace sondrel

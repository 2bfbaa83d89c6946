// A piece of work on one save group's target: a record, a preparation, a purge, a close. A
// group's target serves one piece at a time (its turn, xRuntimeInfo::TargetTurn); the others
// wait in the order they came, and a record that finds the target busy is dropped and counted.
// A GroupWork holds the turn, and the group's records (settings and run state) so that they stay
// while the work waits for a server. The writers that need the turn take a GroupWork.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "common/ProgramState.h"
#include "platform/ado/Turn.h"

class GroupWork {
  public:
    GroupWork(GroupWork&&) = default;
    GroupWork(const GroupWork&) = delete;
    GroupWork& operator=(const GroupWork&) = delete;
    GroupWork& operator=(GroupWork&&) = delete;

    // Waits for the group's turn: co_await GroupWork::Take(g).
    class Waiter {
      public:
        explicit Waiter(int16_t groupIndex);
        Waiter(int16_t groupIndex, const SaveGroupRecord& records);
        bool await_ready() { return turn_.await_ready(); }
        void await_suspend(std::coroutine_handle<> h) { turn_.await_suspend(h); }
        GroupWork await_resume() { return GroupWork(index_, settings_, runState_, turn_.await_resume()); }

      private:
        int16_t index_;
        std::shared_ptr<xSvcSettings> settings_;
        std::shared_ptr<xRuntimeInfo> runState_;
        ado::Turn::Waiter turn_;
    };
    static Waiter Take(int16_t groupIndex) { return Waiter(groupIndex); }
    // The turn when the group's target is free now; none when it is busy.
    static std::optional<GroupWork> TakeIfFree(int16_t groupIndex);

    int16_t Index() const { return index_; }
    SaveGroupRecord& Group() const { return State().Group(index_); }
    xSvcSettings& S() const { return *settings_; }
    xRuntimeInfo& R() const { return *runState_; }

  private:
    GroupWork(int16_t index, std::shared_ptr<xSvcSettings> settings, std::shared_ptr<xRuntimeInfo> runState,
              ado::Turn::Holder turn)
        : index_(index),
          settings_(std::move(settings)),
          runState_(std::move(runState)),
          turn_(std::move(turn)) {}

    int16_t index_;
    std::shared_ptr<xSvcSettings> settings_;
    std::shared_ptr<xRuntimeInfo> runState_;
    ado::Turn::Holder turn_;  // last: released before the run state it belongs to
};

#pragma once

#include "server/listener/PlatformThread.h"

// A thread that works in rounds: BeforeRun, then Run again and again until the terminate flag is
// set, then AfterRun, which runs however the rounds end. An exception from any of them ends the
// thread silently (one from BeforeRun skips the rounds and AfterRun).
class TTorvelThread : public TThread {
public:
    virtual void TerminateAndWaitFor();

protected:
    void Execute() override;
    // One round of work.
    virtual void Run() = 0;
    virtual void AfterRun() { }
    virtual void BeforeRun() { }
};

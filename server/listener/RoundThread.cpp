#include "server/listener/RoundThread.h"

void TTorvelThread::TerminateAndWaitFor()
{
    Terminate();
    WaitFor();
}

void TTorvelThread::Execute()
{
    try {
        BeforeRun();
        try {
            while (!Terminated())
                Run();
        } catch (...) {
            AfterRun();
            throw;
        }
        AfterRun();
    } catch (...) {
        // Discarded: a thread of the server never reports an exception.
    }
}

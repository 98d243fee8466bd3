// Transfer workers for tests: one on a driver that ignores every cancel.
#pragma once

#include "TransferWorker.h"

class DeafWorker : public TransferWorker {
public:
    using TransferWorker::TransferWorker;

protected:
    void CancelWrite() override {}
};

#include "framework/posix/PosixCriticalSection.h"

std::unique_ptr<CriticalSection> createCriticalSection() {
    return std::make_unique<PosixCriticalSection>();
}

// Permissions that bite even when the tests run as root: while a
// FilePermissionsApply lives, this thread does without the capabilities
// that let root past file modes (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH), so
// a device node or folder with its mode taken away refuses as it would
// refuse a fitter. They stay permitted and come back at the end.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tq::test {

class FilePermissionsApply {
public:
    FilePermissionsApply()
    {
        if (!read(saved_))
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        lowered[0].effective &= ~mask;
        changed_ = write(lowered);
    }
    ~FilePermissionsApply()
    {
        if (changed_)
            write(saved_);
    }
    FilePermissionsApply(const FilePermissionsApply&) = delete;
    FilePermissionsApply& operator=(const FilePermissionsApply&) = delete;

private:
    static bool read(__user_cap_data_struct* data)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(SYS_capget, &header, data) == 0;
    }
    static bool write(__user_cap_data_struct* data)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct saved_[2] = {};
    bool changed_ = false;
};

} // namespace tq::test

#include "platform/process.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tq::platform {

bool claim_single_instance(const std::string& name)
{
    const std::string path = runtime_folder() + "/" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no lock to take: do not keep the fitter from working
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true; // the descriptor stays open for the life of the process
}

void exec_program(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
}

} // namespace tq::platform

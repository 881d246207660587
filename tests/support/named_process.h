#pragma once
// A child process that goes by a given name (as ps and /proc show it) until
// the object goes away, e.g. to stand for a system service the program looks for.

#include <sys/types.h>

#include <functional>
#include <string>

namespace morvik::test {

class NamedProcess {
public:
    // setUp runs in the child, named already, before the constructor returns.
    explicit NamedProcess(const std::string& name, const std::function<void()>& setUp = {});
    ~NamedProcess();
    NamedProcess(const NamedProcess&) = delete;
    NamedProcess& operator=(const NamedProcess&) = delete;

private:
    pid_t pid_ = -1;
};

}  // namespace morvik::test

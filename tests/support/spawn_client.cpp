#include "tests/support/spawn_client.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace zq::test {

pid_t spawnChild(std::vector<std::string> args, const std::string& outPath,
                 const std::string& errPath, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("SDL_VIDEODRIVER=", 0) != 0) {
            env.push_back(entry);
        }
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    constexpr int kCreate = O_WRONLY | O_CREAT | O_TRUNC;
    if (!outPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), kCreate, 0600);
    if (!errPath.empty() && errPath == outPath) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else if (!errPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), kCreate, 0600);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitForChild(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int runChild(std::vector<std::string> args, const std::string& outPath, const std::string& errPath,
             const std::vector<std::string>& extraEnv) {
    return waitForChild(spawnChild(std::move(args), outPath, errPath, extraEnv));
}

}  // namespace zq::test

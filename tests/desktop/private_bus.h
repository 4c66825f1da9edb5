#pragma once
// A private message bus for one test, standing in for the system bus:
// dbus-daemon on a socket in a temporary folder, with the stand-in logind
// and udisks2 services (bus_standins) on it when asked for. While it
// lives, DBUS_SYSTEM_BUS_ADDRESS names it, so that the programs and the
// code under test reach it as they would reach the system bus.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

class PrivateBus {
 public:
  // `folder` holds the socket; `services` are bus_standins' arguments
  // ("login1", "udisks2"); none starts no stand-in.
  PrivateBus(const std::string& folder, const std::vector<std::string>& services) {
    address_ = "unix:path=" + folder + "/system_bus_socket";
    daemon_ = Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address",
                     "--address=" + address_},
                    "unix:", true);
    if (daemon_ <= 0) return;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    if (!services.empty()) {
      std::vector<std::string> argv{BUS_STANDINS};
      argv.insert(argv.end(), services.begin(), services.end());
      standins_ = Start(argv, "ready");
    }
  }
  ~PrivateBus() {
    for (pid_t pid : {standins_, daemon_}) {
      if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
      }
    }
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Both the daemon and (when asked for) the stand-ins run.
  bool Running(bool with_services) const {
    return daemon_ > 0 && (!with_services || standins_ > 0);
  }
  const std::string& Address() const { return address_; }

  static bool DaemonInstalled() {
    return std::system("command -v dbus-daemon >/dev/null 2>&1") == 0;
  }

  // The inhibitors the stand-in logind holds, as "what|who|why|mode"; an
  // error as "error: TEXT".
  static std::vector<std::string> Inhibitors() {
    std::vector<std::string> out;
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return {"error: no bus"};
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r =
        sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", &error, &reply, "");
    if (r >= 0) r = sd_bus_message_enter_container(reply, 'a', "(ssssuu)");
    const char *what, *who, *why, *mode;
    uint32_t uid, pid;
    while (r > 0 &&
           (r = sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid)) > 0) {
      out.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
    }
    if (r < 0) out.push_back(std::string("error: ") + (error.message ? error.message : "?"));
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
    return out;
  }

 private:
  // Runs argv with its standard output on a pipe and waits for a line
  // beginning with `ready`; the process id, or -1.
  // The daemon's own complaints (it cannot raise its descriptor limit
  // here) go with `quiet`.
  static pid_t Start(const std::vector<std::string>& argv, const std::string& ready,
                     bool quiet = false) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      dup2(out[1], 1);
      if (quiet) dup2(open("/dev/null", O_WRONLY), 2);
      close(out[0]);
      close(out[1]);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
    close(out[1]);
    std::FILE* in = fdopen(out[0], "r");
    char line[512];
    bool ok = false;
    while (in != nullptr && std::fgets(line, sizeof line, in) != nullptr) {
      if (std::string(line).rfind(ready, 0) == 0) {
        ok = true;
        break;
      }
    }
    // The pipe stays open in the child; closing our end is enough.
    if (in != nullptr) std::fclose(in);
    if (!ok) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      return -1;
    }
    return pid;
  }

  std::string address_;
  pid_t daemon_ = -1;
  pid_t standins_ = -1;
};

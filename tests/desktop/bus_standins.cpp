// Small stand-ins for the two system services the programs call, for a
// private message bus in the tests (these machines run no system bus):
//
// - org.freedesktop.login1: Manager.Inhibit(ssss) -> h, and
//   Manager.ListInhibitors() -> a(ssssuu) listing the locks whose
//   descriptors are still open;
// - org.freedesktop.UDisks2: Manager.ResolveDevice(a{sv}, a{sv}) -> ao,
//   and Filesystem.Unmount(a{sv}) on block_devices/NAME, which removes
//   the lines of $TIDEMARK_MOUNTINFO whose source is /NAME's node, as an
//   unmount would; with $STANDIN_UNMOUNT_ERROR set it fails with that text
//   instead, as udisks2 does for a busy file system.
//
// - org.freedesktop.Notifications: Notify(susssasa{sv}i) -> u, appending
//   "SUMMARY|BODY" as a line to $STANDIN_NOTES_FILE (a session's service,
//   served here on the same private bus).
//
// Connects to $DBUS_SYSTEM_BUS_ADDRESS, prints "ready" once the names are
// owned, and runs until killed.
//   bus_standins [login1] [udisks2] [notifications]  (default: login1 and udisks2)

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Inhibitor {
  std::string what, who, why, mode;
  int watch = -1;  // read end of the pipe whose write end the caller holds
};

std::vector<Inhibitor> g_inhibitors;

// Drops the locks whose holders closed their descriptors.
void Reap() {
  for (auto it = g_inhibitors.begin(); it != g_inhibitors.end();) {
    pollfd p{it->watch, POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0) {
      close(it->watch);
      it = g_inhibitors.erase(it);
    } else {
      ++it;
    }
  }
}

int Inhibit(sd_bus_message* m, void*, sd_bus_error*) {
  const char *what, *who, *why, *mode;
  int r = sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
  if (r < 0) return r;
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return -errno;
  g_inhibitors.push_back({what, who, why, mode, p[0]});
  r = sd_bus_reply_method_return(m, "h", p[1]);
  close(p[1]);
  return r;
}

int ListInhibitors(sd_bus_message* m, void*, sd_bus_error*) {
  Reap();
  sd_bus_message* reply = nullptr;
  int r = sd_bus_message_new_method_return(m, &reply);
  if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ssssuu)");
  for (const Inhibitor& i : g_inhibitors) {
    if (r >= 0)
      r = sd_bus_message_append(reply, "(ssssuu)", i.what.c_str(), i.who.c_str(), i.why.c_str(),
                                i.mode.c_str(), getuid(), getpid());
  }
  if (r >= 0) r = sd_bus_message_close_container(reply);
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

int ResolveDevice(sd_bus_message* m, void*, sd_bus_error* error) {
  // a{sv}: find "path" -> s
  std::string node;
  int r = sd_bus_message_enter_container(m, 'a', "{sv}");
  while (r > 0 && (r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
    const char* key = nullptr;
    r = sd_bus_message_read(m, "s", &key);
    if (r < 0) return r;
    if (std::strcmp(key, "path") == 0) {
      const char* value = nullptr;
      r = sd_bus_message_read(m, "v", "s", &value);
      if (r < 0) return r;
      node = value;
    } else {
      r = sd_bus_message_skip(m, "v");
      if (r < 0) return r;
    }
    r = sd_bus_message_exit_container(m);
    if (r < 0) return r;
  }
  if (r < 0) return r;
  if (node.empty())
    return sd_bus_error_set(error, "org.freedesktop.UDisks2.Error.Failed", "no path given");
  const std::string name = node.substr(node.rfind('/') + 1);
  const std::string object = "/org/freedesktop/UDisks2/block_devices/" + name;
  sd_bus_message* reply = nullptr;
  r = sd_bus_message_new_method_return(m, &reply);
  if (r >= 0) r = sd_bus_message_append(reply, "ao", 1, object.c_str());
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r;
}

int Unmount(sd_bus_message* m, void*, sd_bus_error* error) {
  if (const char* fail = std::getenv("STANDIN_UNMOUNT_ERROR"); fail != nullptr && *fail)
    return sd_bus_error_set(error, "org.freedesktop.UDisks2.Error.DeviceBusy", fail);
  const std::string path = sd_bus_message_get_path(m);
  const std::string name = path.substr(path.rfind('/') + 1);
  const char* table = std::getenv("TIDEMARK_MOUNTINFO");
  if (table != nullptr && *table) {
    std::ifstream in(table);
    std::stringstream kept;
    std::string line;
    bool removed = false;
    while (std::getline(in, line)) {
      // The source is the field after the "-" separator's type field.
      const size_t dash = line.find(" - ");
      std::string source;
      if (dash != std::string::npos) {
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type >> source;
      }
      if (!source.empty() && source.substr(source.rfind('/') + 1) == name) {
        removed = true;
        continue;
      }
      kept << line << '\n';
    }
    in.close();
    if (!removed)
      return sd_bus_error_set(error, "org.freedesktop.UDisks2.Error.NotMounted", "Not mounted");
    std::ofstream(table, std::ios::trunc) << kept.str();
  }
  return sd_bus_reply_method_return(m, "");
}

int Notify(sd_bus_message* m, void*, sd_bus_error*) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  uint32_t replaces = 0;
  int r = sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body);
  if (r < 0) return r;
  if (const char* file = std::getenv("STANDIN_NOTES_FILE"))
    std::ofstream(file, std::ios::app) << summary << "|" << body << "\n";
  return sd_bus_reply_method_return(m, "u", 1u);
}

const sd_bus_vtable kNotifications[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kLogind[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ListInhibitors", "", "a(ssssuu)", ListInhibitors, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kUdisksManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("ResolveDevice", "a{sv}a{sv}", "ao", ResolveDevice, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kUdisksFilesystem[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Unmount", "a{sv}", "", Unmount, SD_BUS_VTABLE_UNPRIVILEGED), SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  bool login1 = argc < 2, udisks2 = argc < 2, notifications = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "login1") == 0) login1 = true;
    if (std::strcmp(argv[i], "udisks2") == 0) udisks2 = true;
    if (std::strcmp(argv[i], "notifications") == 0) notifications = true;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_open_system(&bus);
  if (r < 0) {
    std::fprintf(stderr, "bus_standins: no bus: %s\n", std::strerror(-r));
    return 1;
  }
  if (login1) {
    r = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1",
                                 "org.freedesktop.login1.Manager", kLogind, nullptr);
    if (r >= 0) r = sd_bus_request_name(bus, "org.freedesktop.login1", 0);
  }
  if (r >= 0 && udisks2) {
    r = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/UDisks2/Manager",
                                 "org.freedesktop.UDisks2.Manager", kUdisksManager, nullptr);
    if (r >= 0)
      r = sd_bus_add_fallback_vtable(bus, nullptr, "/org/freedesktop/UDisks2/block_devices",
                                     "org.freedesktop.UDisks2.Filesystem", kUdisksFilesystem,
                                     nullptr, nullptr);
    if (r >= 0) r = sd_bus_request_name(bus, "org.freedesktop.UDisks2", 0);
  }
  if (r >= 0 && notifications) {
    r = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/Notifications",
                                 "org.freedesktop.Notifications", kNotifications, nullptr);
    if (r >= 0) r = sd_bus_request_name(bus, "org.freedesktop.Notifications", 0);
  }
  if (r < 0) {
    std::fprintf(stderr, "bus_standins: %s\n", std::strerror(-r));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    r = sd_bus_process(bus, nullptr);
    if (r < 0) return 1;
    if (r > 0) continue;
    Reap();
    r = sd_bus_wait(bus, 100000);
    if (r < 0 && r != -EINTR) return 1;
  }
}

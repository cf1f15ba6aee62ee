#include "registry_filter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

namespace tolvane::e2e {

namespace {

constexpr std::size_t kMaxFds = 253;  // the kernel's limit per message

int connectTo(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

// What has come from one side and not yet gone to the other: bytes up to a
// whole message, and the file descriptors that came with them.
struct Pending {
  std::string bytes;
  std::vector<int> fds;
  ~Pending() {
    for (int fd : fds) close(fd);
  }
};

// Reads what `from` has; false once it is closed.
bool receive(int from, Pending& into) {
  char data[65536];
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxFds)];
  iovec io{data, sizeof data};
  msghdr m{};
  m.msg_iov = &io;
  m.msg_iovlen = 1;
  m.msg_control = control;
  m.msg_controllen = sizeof control;
  const ssize_t n = recvmsg(from, &m, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) return false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c))
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
      const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      const int* fds = reinterpret_cast<const int*>(CMSG_DATA(c));
      into.fds.insert(into.fds.end(), fds, fds + count);
    }
  into.bytes.append(data, static_cast<std::size_t>(n));
  return true;
}

// Sends `bytes` and every pending descriptor (which go with the first part).
bool send(int to, const std::string& bytes, Pending& p) {
  std::size_t done = 0;
  while (done < bytes.size() || !p.fds.empty()) {
    iovec io{const_cast<char*>(bytes.data() + done), bytes.size() - done};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxFds)];
    msghdr m{};
    m.msg_iov = &io;
    m.msg_iovlen = 1;
    if (!p.fds.empty() && io.iov_len > 0) {
      m.msg_control = control;
      m.msg_controllen = CMSG_SPACE(sizeof(int) * p.fds.size());
      cmsghdr* c = CMSG_FIRSTHDR(&m);
      c->cmsg_level = SOL_SOCKET;
      c->cmsg_type = SCM_RIGHTS;
      c->cmsg_len = CMSG_LEN(sizeof(int) * p.fds.size());
      std::memcpy(CMSG_DATA(c), p.fds.data(), sizeof(int) * p.fds.size());
    }
    const ssize_t n = sendmsg(to, &m, MSG_NOSIGNAL);
    if (n < 0) return false;
    if (m.msg_control) {
      for (int fd : p.fds) close(fd);
      p.fds.clear();
    }
    done += static_cast<std::size_t>(n);
    if (io.iov_len == 0) break;  // descriptors with no message: kept for the next
  }
  return true;
}

std::uint32_t word(const std::string& b, std::size_t at) {
  std::uint32_t w;
  std::memcpy(&w, b.data() + at, 4);
  return w;
}

// One client and its connection to the compositor.
struct Link {
  int client = -1, server = -1;
  Pending fromClient, fromServer;
  std::set<std::uint32_t> registries;    // the client's wl_registry objects
  std::set<std::uint32_t> hiddenNames;  // globals left out
  ~Link() {
    close(client);
    close(server);
  }
};

// The client's whole messages, noting each registry it asks for.
std::string fromClient(Link& l) {
  std::string& b = l.fromClient.bytes;
  std::size_t at = 0;
  while (b.size() - at >= 8 && b.size() - at >= (word(b, at + 4) >> 16)) {
    const std::uint32_t object = word(b, at), size = word(b, at + 4) >> 16, opcode = word(b, at + 4) & 0xFFFF;
    if (object == 1 && opcode == 1 && size >= 12) l.registries.insert(word(b, at + 8));  // wl_display.get_registry
    if (size < 8) break;
    at += size;
  }
  std::string out = b.substr(0, at);
  b.erase(0, at);
  return out;
}

// The compositor's whole messages, without the hidden globals.
std::string fromServer(Link& l, const std::vector<std::string>& hidden) {
  std::string& b = l.fromServer.bytes;
  std::string out;
  std::size_t at = 0;
  while (b.size() - at >= 8 && b.size() - at >= (word(b, at + 4) >> 16)) {
    const std::uint32_t object = word(b, at), size = word(b, at + 4) >> 16, opcode = word(b, at + 4) & 0xFFFF;
    if (size < 8) break;
    bool keep = true;
    if (l.registries.count(object) && opcode == 0 && size >= 16) {  // wl_registry.global
      const std::uint32_t name = word(b, at + 8), length = word(b, at + 12);
      const std::string interface = b.substr(at + 16, length ? length - 1 : 0);
      if (std::find(hidden.begin(), hidden.end(), interface) != hidden.end()) {
        l.hiddenNames.insert(name);
        keep = false;
      }
    } else if (l.registries.count(object) && opcode == 1 && size >= 12) {  // wl_registry.global_remove
      keep = !l.hiddenNames.count(word(b, at + 8));
    }
    if (keep) out.append(b, at, size);
    at += size;
  }
  b.erase(0, at);
  return out;
}

}  // namespace

RegistryFilter::RegistryFilter(std::string compositor, std::vector<std::string> hidden)
    : compositor_(std::move(compositor)), hidden_(std::move(hidden)) {
  char folder[] = "/tmp/tolvane-filter-XXXXXX";
  if (!mkdtemp(folder)) return;
  dir_ = folder;
  chmod(folder, 0755);
  path_ = dir_ + "/wayland-0";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path_.c_str(), sizeof a.sun_path - 1);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0 ||
      pipe2(stop_, O_CLOEXEC) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  chmod(path_.c_str(), 0777);  // the program may run as another user
  listener_ = fd;
  thread_ = std::thread([this] { run(); });
}

RegistryFilter::~RegistryFilter() {
  if (thread_.joinable()) {
    const char c = 0;
    (void)!write(stop_[1], &c, 1);
    thread_.join();
  }
  for (int fd : {listener_, stop_[0], stop_[1]})
    if (fd >= 0) close(fd);
  unlink(path_.c_str());
  if (!dir_.empty()) rmdir(dir_.c_str());
}

void RegistryFilter::run() {
  std::vector<std::unique_ptr<Link>> links;
  for (;;) {
    std::vector<pollfd> fds{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const auto& l : links) {
      fds.push_back({l->client, POLLIN, 0});
      fds.push_back({l->server, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents) return;
    const std::size_t polled = links.size();
    if (fds[1].revents & POLLIN) {
      auto l = std::make_unique<Link>();
      l->client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      l->server = connectTo(compositor_);
      if (l->client >= 0 && l->server >= 0) links.push_back(std::move(l));
    }
    std::vector<Link*> ended;
    for (std::size_t i = 0; i < polled; ++i) {
      Link& l = *links[i];
      bool open = true;
      if (fds[2 + 2 * i].revents)
        open = receive(l.client, l.fromClient) && send(l.server, fromClient(l), l.fromClient);
      if (open && fds[3 + 2 * i].revents)
        open = receive(l.server, l.fromServer) && send(l.client, fromServer(l, hidden_), l.fromServer);
      if (!open) ended.push_back(&l);
    }
    std::erase_if(links, [&](const auto& l) { return std::count(ended.begin(), ended.end(), l.get()) > 0; });
  }
}

namespace {
void listed(void* d, wl_registry*, uint32_t, const char* interface, uint32_t) {
  static_cast<std::vector<std::string>*>(d)->push_back(interface);
}
void unlisted(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kListed = {listed, unlisted};
}  // namespace

std::vector<std::string> globalsAt(const std::string& socket) {
  std::vector<std::string> names;
  wl_display* d = wl_display_connect(socket.c_str());
  if (!d) return names;
  wl_registry* r = wl_display_get_registry(d);
  wl_registry_add_listener(r, &kListed, &names);
  if (wl_display_roundtrip(d) < 0) names.clear();
  wl_registry_destroy(r);
  wl_display_disconnect(d);
  return names;
}

}  // namespace tolvane::e2e

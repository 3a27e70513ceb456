// Stands between X clients and the server of $DISPLAY as a display of its
// own, and cuts every connection at once, as a server that dies would: when
// a client sends the bytes NEEDLE (the request naming them never reaches
// the server), or, with --after FILE, at the first bytes either way once
// FILE exists. The cut falls at the same point of the clients' requests
// however busy the machine is. Prints its display's number, then serves
// until it has cut (status 0) or a minute has passed (status 1).
// Usage: x_cut NEEDLE | x_cut --after FILE
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The abstract name, which clients try first, and no file of another server.
int listenAs(int& number) {
  for (number = 200; number < 1000; ++number) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.data(), path.size());
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    if (access(path.c_str(), F_OK) != 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        listen(fd, 8) == 0)
      return fd;
    close(fd);
  }
  return -1;
}

int connectToServer() {
  const char* display = std::getenv("DISPLAY");
  const char* colon = display ? std::strchr(display, ':') : nullptr;
  if (!colon) return -1;
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(std::atoi(colon + 1));
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

bool writeAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, static_cast<size_t>(size));
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

struct Link {
  int client, server;
  std::string sent;  // the client's last bytes, for a needle across two reads
};

}  // namespace

int main(int argc, char** argv) {
  const bool after = argc == 3 && std::string(argv[1]) == "--after";
  if (argc != 2 && !after) {
    std::fprintf(stderr, "usage: %s NEEDLE | %s --after FILE\n", argv[0], argv[0]);
    return 2;
  }
  const std::string needle = after ? "" : argv[1];
  int number = 0;
  const int listener = listenAs(number);
  if (listener < 0) return 1;
  std::printf("%d\n", number);
  std::fflush(stdout);

  std::vector<Link> links;
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < end) {
    std::vector<pollfd> fds{{listener, POLLIN, 0}};
    for (const Link& l : links) fds.insert(fds.end(), {{l.client, POLLIN, 0}, {l.server, POLLIN, 0}});
    if (poll(fds.data(), fds.size(), 100) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      const int server = client < 0 ? -1 : connectToServer();
      if (server >= 0) links.push_back({client, server, ""});
      else if (client >= 0) close(client);
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Link& link = links[(i - 1) / 2];
      const bool fromClient = fds[i].fd == link.client;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      bool cut = false;
      if (n > 0 && after) {
        struct stat st;
        cut = stat(argv[2], &st) == 0;
      } else if (n > 0 && fromClient) {
        link.sent.append(buffer, static_cast<size_t>(n));
        cut = link.sent.find(needle) != std::string::npos;
        link.sent.erase(0, link.sent.size() - std::min(link.sent.size(), needle.size()));
      }
      // Every connection at once, and no new one: the server is gone.
      if (cut) return 0;
      if (n <= 0 || !writeAll(fromClient ? link.server : link.client, buffer, n)) {
        close(link.client);
        close(link.server);
        link.client = link.server = -1;
      }
    }
    links.erase(std::remove_if(links.begin(), links.end(), [](const Link& l) { return l.client < 0; }), links.end());
  }
  return 1;
}

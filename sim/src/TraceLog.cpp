#include "sim/TraceLog.h"

#include "protocol/TelegramText.h"

namespace Sim {

std::vector<std::string> TraceLog::lines(const Bytes& telegram, const Bytes& reply) {
  std::vector<std::string> out;
  out.push_back("> " + Nxt::hexText(telegram.data(), telegram.size()) + "  " +
                Nxt::describeCommand(telegram.data(), telegram.size()));
  if (!reply.empty()) {
    out.push_back("< " + Nxt::hexText(reply.data(), reply.size()) + "  " +
                  Nxt::describeReply(reply.data(), reply.size()));
  }
  return out;
}

void TraceLog::add(const std::string& line) {
  std::lock_guard<std::mutex> guard(mutex);
  kept.push_back(line);
  ++added;
  if (kept.size() > kKept) {
    kept.pop_front();
  }
}

std::vector<std::string> TraceLog::since(std::uint64_t& seen, std::size_t most) const {
  std::lock_guard<std::mutex> guard(mutex);
  std::uint64_t oldest = added - kept.size();  // sequence number of kept.front(), from 0
  if (seen < oldest) {
    seen = oldest;
  }
  std::vector<std::string> out;
  while (seen < added && out.size() < most) {
    out.push_back(kept[static_cast<std::size_t>(seen - oldest)]);
    ++seen;
  }
  return out;
}

std::uint64_t TraceLog::total() const {
  std::lock_guard<std::mutex> guard(mutex);
  return added;
}

}  // namespace Sim

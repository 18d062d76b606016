// The names of the temporaries that ReplaceFile writes beside a list:
// ".NAME.tmp-PID-N", the writer's process id and a per-process counter, so
// that no other writer picks the same name and a leftover tells whose it was.
#pragma once

#include <cstdint>
#include <string>

namespace toolkit::platform {

std::string TemporaryNameFor(const std::string& path, std::int64_t pid);
// The writer of a temporary of that shape, or 0 when the name is not one.
std::int64_t TemporaryWriter(const std::string& name);

}  // namespace toolkit::platform

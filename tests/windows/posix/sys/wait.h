// fork and waitpid come from posix_shim.h on Windows.
#pragma once

# Warnings used for the library, its tests and its tools.
set(VOS_WARNINGS -Wall -Wextra -Wno-unused-parameter)

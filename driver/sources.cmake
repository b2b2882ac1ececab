# The driver's sources, shared by the bench build and the kernel-image build.
set(OSTREL_DRIVER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(OSTREL_DRIVER_SOURCES
    ${OSTREL_DRIVER_DIR}/hardware/board.cpp
    ${OSTREL_DRIVER_DIR}/miniport/adapter_control.cpp
)
# Kernel code: no runtime, no exceptions, no RTTI, no header from outside driver/.
set(OSTREL_DRIVER_FLAGS
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -nostdinc -nostdinc++
    -Wall -Wextra -Wpedantic -Wcast-align -Wshadow -Werror
)

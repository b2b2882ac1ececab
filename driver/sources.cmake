# The driver's sources, shared by the bench build and the kernel-image build.
set(OSTREL_DRIVER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(OSTREL_DRIVER_SOURCES
    ${OSTREL_DRIVER_DIR}/hardware/board.cpp
    ${OSTREL_DRIVER_DIR}/hardware/waits.cpp
    ${OSTREL_DRIVER_DIR}/hardware/handshake.cpp
    ${OSTREL_DRIVER_DIR}/protocol/arbitration.cpp
    ${OSTREL_DRIVER_DIR}/protocol/selection.cpp
    ${OSTREL_DRIVER_DIR}/protocol/command.cpp
    ${OSTREL_DRIVER_DIR}/protocol/status.cpp
    ${OSTREL_DRIVER_DIR}/protocol/message_in.cpp
    ${OSTREL_DRIVER_DIR}/protocol/message_out.cpp
    ${OSTREL_DRIVER_DIR}/protocol/completion.cpp
    ${OSTREL_DRIVER_DIR}/protocol/sequencer.cpp
    ${OSTREL_DRIVER_DIR}/transfer/data_in.cpp
    ${OSTREL_DRIVER_DIR}/transfer/data_out.cpp
    ${OSTREL_DRIVER_DIR}/miniport/adapter_control.cpp
    ${OSTREL_DRIVER_DIR}/miniport/start_io.cpp
    ${OSTREL_DRIVER_DIR}/miniport/driver_entry.cpp
)
# Kernel code: no runtime, no exceptions, no RTTI, no header from outside driver/.
set(OSTREL_DRIVER_FLAGS
    -fno-exceptions -fno-rtti -fno-threadsafe-statics -nostdinc -nostdinc++
    -Wall -Wextra -Wpedantic -Wcast-align -Wshadow -Werror
)

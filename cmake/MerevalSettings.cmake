# One interface target carries the language level, the warnings and the Qt
# strictness defines; every library and executable of the project links it.
add_library(mereval_settings INTERFACE)
target_compile_features(mereval_settings INTERFACE cxx_std_20)
target_compile_options(mereval_settings INTERFACE
    -Wall -Wextra -Wold-style-cast -Werror)
target_compile_definitions(mereval_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)

option(MEREVAL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(MEREVAL_SANITIZE)
    target_compile_options(mereval_settings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(mereval_settings INTERFACE -fsanitize=address,undefined)
endif()

# The music tests encode their own small mp3 with LAME.
target_link_libraries(kerv16_tests PRIVATE mp3lame)

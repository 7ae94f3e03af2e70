# Values, byte streams, the standard message codec and the standard method codec.
camvey_add_gtest(messaging_codec_test
  SOURCES encodable_value_test.cpp byte_streams_test.cpp standard_codec_serializer_test.cpp
          standard_method_codec_test.cpp
  LIBRARIES camvey_codec)
# Replaces the global allocation functions, so it runs as a program of its own.
camvey_add_gtest(messaging_codec_allocation_test
  SOURCES codec_allocation_test.cpp
  LIBRARIES camvey_codec)

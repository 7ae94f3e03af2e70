# Messenger and method channel suites, run against the engine stand-in.
camvey_add_gtest(messaging_channel_test
  SOURCES binary_messenger_impl_test.cpp engine_method_result_test.cpp method_channel_test.cpp
  LIBRARIES camvey_messaging camvey_engine_standin)
camvey_add_gtest(messaging_channel_concurrency_test
  SOURCES channel_concurrency_test.cpp
  LIBRARIES camvey_messaging camvey_engine_standin
  LABELS concurrency)

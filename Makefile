# The two set-up commands: `make run` and `make test`. Both install what is missing first.
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
RUN_DIR := build/release
TEST_DIR := build/asan

.PHONY: run test build deps test-deps bench clean

deps:
	@scripts/install-deps.sh build

test-deps:
	@scripts/install-deps.sh test

RUN_OPTIONS := -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DCORKBOARD_TESTS=OFF
# Warnings fail only the test build: a user's newer compiler may warn where ours does not.
TEST_OPTIONS := -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORKBOARD_SANITIZE=ON -DCORKBOARD_WERROR=ON

$(RUN_DIR)/build.ninja: Makefile
	cmake -S . -B $(RUN_DIR) $(RUN_OPTIONS)

build: deps $(RUN_DIR)/build.ninja
	cmake --build $(RUN_DIR) -j $(JOBS) --target corkboard

run: build
	@mkdir -p data
	$(RUN_DIR)/corkboard serve --listen 127.0.0.1:8080 --data data --site site --config config/corkboard.conf

$(TEST_DIR)/build.ninja: Makefile
	cmake -S . -B $(TEST_DIR) $(TEST_OPTIONS)

test: test-deps $(TEST_DIR)/build.ninja
	cmake --build $(TEST_DIR) -j $(JOBS)
	cd $(TEST_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) --timeout 300

# Pages against nginx (wrk), then the converters' micro-benchmarks.
bench: deps
	@scripts/install-deps.sh bench
	cmake -S . -B $(RUN_DIR) $(RUN_OPTIONS) -DCORKBOARD_BENCH=ON
	cmake --build $(RUN_DIR) -j $(JOBS) --target corkboard markup_bench gbk_bench
	bench/run.sh
	$(RUN_DIR)/markup_bench
	$(RUN_DIR)/gbk_bench

clean:
	rm -rf build

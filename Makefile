# The two commands of the README, and formatting.
.PHONY: run test format clean

run:
	@scripts/run

test:
	@scripts/test

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

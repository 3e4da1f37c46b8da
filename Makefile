# The commands of the README, and formatting. `make release RELEASE_URL=https://...` names
# the folder the zip will be published in (see the README's "Making a release").
.PHONY: run test release format clean

run:
	@scripts/run

test:
	@scripts/test

release:
	@scripts/release $(RELEASE_URL)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build dist

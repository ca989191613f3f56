# Convenience wrappers; the scripts work without make.
.PHONY: run test bench
run:
	scripts/run
test:
	scripts/test
bench:
	scripts/bench

#!/usr/bin/env bash
# bench/dependency-chain.pl on listings small enough to count by hand: the figures that
# bench/sha256-static.sh reports rest on where it finds the stack and on which links it calls hops.
set -uo pipefail
tool=$1
failures=0

# expect NAME "instructions stores loads chain hops" < listing
expect() {
  local name=$1 wanted=$2 got
  got=$(perl "$tool" | tr '\t' ' ')
  if [ "$got" != "$wanted" ]; then
    echo "FAIL $name: got '$got', wanted '$wanted' (instructions, stack stores, stack loads, chain, hops)"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

# A chain in registers: a load (5 cycles) and two operations (1 each); labels and branches are no instructions.
expect "chain in registers" "3 0 0 7 0" <<'LISTING'
.L1:
	mov (%esi),%eax
	add %eax,%eax
	ror $2,%eax
	jne .L1
LISTING

# The stack pointer moves between the store and the load: the place is the same, the link a hop.
expect "stack slot across a push" "5 2 1 6 1" <<'LISTING'
sub $8,%esp
mov %eax,4(%esp)
push %ebx
mov 8(%esp),%ecx
add %ecx,%ecx
LISTING

# perlasm's sums as displacements; memory off another register counts as a hop too, but not as stack.
expect "perlasm displacements and other memory" "5 1 1 11 2" <<'LISTING'
movl %eax,64+8(%esp)
movl 72(%esp),%edx
movl %edx,(%edi)
movl (%edi),%ecx
addl %ecx,%ecx
LISTING

# xor of a register with itself reads nothing: the chain starts again.
expect "zeroing idiom" "3 0 0 6 0" <<'LISTING'
mov (%esi),%eax
xor %eax,%eax
add (%esi),%eax
LISTING

[ "$failures" = 0 ] || { echo "$failures case(s) failed"; exit 1; }

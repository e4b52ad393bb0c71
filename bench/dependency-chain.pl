#!/usr/bin/env perl
# Reads one straight run of x86 instructions in AT&T syntax (32- or 64-bit, as objdump or a perlasm script
# writes them; labels, directives and branches are skipped) and prints, tab-separated:
#   instructions  stack-stores  stack-loads  chain-cycles  chain-hops
# chain-cycles is the longest dependency chain through the run under a plain latency model (an operation 1
# cycle, a load 5, whether it reads the cache or a store still in flight), and chain-hops how many links
# of that chain go from a store to a load of the same place. In a hash's block function the longest chain
# is the one that carries the working words from round to round, so each hop there is a store-forwarding
# delay in every round it touches. Only the instructions that scalar hash code uses are told apart; any
# other two-operand instruction is taken to read both operands and write the last.
use strict;
use warnings;

my ($kLoad, $kOperation) = (5, 1);

# Every name of a general-purpose register, mapped to the whole register it is part of.
my %family;
for my $r (qw(a b c d)) {
  $family{$_} = $r for ("e${r}x", "r${r}x", "${r}x", "${r}l", "${r}h");
}
for my $r (qw(si di bp sp)) {
  $family{$_} = $r for ("e$r", "r$r", $r, "${r}l");
}
for my $n (8 .. 15) {
  $family{$_} = "r$n" for ("r$n", "r${n}d", "r${n}w", "r${n}b");
}

my %ready;         # register => cycle its value is ready
my %from;          # register => [value it came from, 1 if that link is a store-to-load hop]
my %memory;        # place => [cycle the stored value is ready, value node]
my %version;       # register => how often it was written: a place off any register but the stack's
my ($stackEpoch, $stackOffset) = (0, 0); # where the stack pointer stands, while it can be followed
my ($instructions, $stackStores, $stackLoads) = (0, 0, 0);
my @nodes;         # value node => [cycle, node it came from, hop, instruction]
my $current = '';   # the instruction being read
my $show = @ARGV && $ARGV[0] eq '--show'; # also list the chain, its hops marked

sub node {
  my ($cycle, $source) = @_;
  push @nodes, [$cycle, $source ? @$source : (undef, 0), $current];
  return $#nodes;
}

sub register_of {
  my ($operand) = @_;
  return $operand =~ /^%(\w+)$/ && exists $family{$1} ? $family{$1} : undef;
}

# The latest of the values read, as [cycle, [node, hop]].
sub latest {
  my ($best, $source, $any) = (0, undef, 0);
  for my $input (@_) {
    next unless defined $input;
    my ($cycle, $link) = @$input;
    ($best, $source, $any) = ($cycle, $link, 1) if !$any || $cycle > $best;
  }
  return ($best, $source);
}

sub read_register {
  my ($register) = @_;
  return undef unless defined $register && defined $ready{$register};
  return [$ready{$register}, [$from{$register}, 0]];
}

sub write_register {
  my ($register, $cycle, $source) = @_;
  return unless defined $register;
  $ready{$register} = $cycle;
  $from{$register} = node($cycle, $source);
  $version{$register}++;
}

# A memory operand: the place it names and the values its address reads.
sub address {
  my ($operand) = @_;
  my ($displacement, $inner) = $operand =~ /^([^(]*)\((.*)\)$/ ? ($1, $2) : ($operand, '');
  my ($base, $index, $scale) = (split(/,/, $inner), '', '', '');
  s/^\s+|\s+$//g for $base, $index, $scale;
  my ($baseRegister, $indexRegister) = map { /^%(\w+)$/ && exists $family{$1} ? $family{$1} : undef } $base, $index;
  # A displacement is a number, a sum of numbers (perlasm writes 64+8), or a symbol that names itself.
  my $offset = $displacement eq '' ? 0
             : $displacement =~ /^-?(0x[0-9a-f]+|\d+)(\+(0x[0-9a-f]+|\d+))*$/i ? sum(map { numeric($_) } split /\+/, $displacement)
             : $displacement;
  my $stack = defined $baseRegister && $baseRegister eq 'sp' && !defined $indexRegister;
  my $place = $stack ? "stack$stackEpoch:" . ($stackOffset + $offset)
            : join ':', map({ defined $_ ? "$_#" . ($version{$_} // 0) : '' } $baseRegister, $indexRegister), $scale, $offset;
  return ($place, $stack, [map { read_register($_) } grep { defined } $baseRegister, $indexRegister]);
}

sub sum {
  my $total = 0;
  $total += $_ for @_;
  return $total;
}

sub numeric {
  my ($text) = @_;
  my $negative = $text =~ s/^-//;
  my $value = $text =~ /^0x/i ? hex $text : $text;
  return $negative ? -$value : $value;
}

sub load {
  my ($operand) = @_;
  my ($place, $stack, $addressInputs) = address($operand);
  $stackLoads++ if $stack;
  my ($cycle, $source) = latest(@$addressInputs);
  if (my $stored = $memory{$place}) {
    ($cycle, $source) = ($stored->[0], [$stored->[1], 1]) if $stored->[0] >= $cycle;
  }
  return [$cycle + $kLoad, $source];
}

sub store {
  my ($operand, $cycle, $source) = @_;
  my ($place, $stack) = address($operand);
  $stackStores++ if $stack;
  $memory{$place} = [$cycle, node($cycle, $source)];
}

sub is_memory { return $_[0] !~ /^[%\$]/ }

sub value_of {
  my ($operand) = @_;
  return undef if $operand =~ /^\$/;
  return is_memory($operand) ? load($operand) : read_register(register_of($operand));
}

sub follow_stack {
  my ($change) = @_;
  if (defined $change) { $stackOffset += $change } else { $stackEpoch++; $stackOffset = 0 }
}

while (my $line = <STDIN>) {
  $line =~ s/#.*//;
  $line =~ s/^\s+|\s+$//g;
  next if $line eq '' || $line =~ /^[.\w]+:$/ || $line =~ /^\./;
  my ($mnemonic, $rest) = $line =~ /^(\S+)\s*(.*)$/;
  next if $mnemonic =~ /^(j|ret|call|nop|cmp|test|rep|endbr|ud2)/;
  my @operands = $rest =~ /((?:[^,(]|\([^)]*\))+)/g;
  s/^\s+|\s+$//g for @operands;
  $instructions++;
  $current = $line;
  my $destination = $operands[-1];
  my $sp = defined $destination && (register_of($destination) // '') eq 'sp';

  if ($mnemonic =~ /^push/) {
    my $size = $mnemonic =~ /q$/ || $destination =~ /^%r/ ? 8 : 4;
    follow_stack(-$size);
    my ($cycle, $source) = latest(value_of($destination));
    store('(%esp)', $cycle, $source);
    next;
  }
  if ($mnemonic =~ /^pop/) {
    my $value = load('(%esp)');
    follow_stack($destination =~ /^%r/ ? 8 : 4);
    write_register(register_of($destination), $value->[0] + 0, $value->[1]);
    next;
  }
  if ($sp) {
    # The stack pointer moves by a known amount, or to an unknown place (aligned, restored).
    my ($operand) = @operands;
    if ($mnemonic =~ /^sub/ && $operand =~ /^\$(.+)$/) { follow_stack(-numeric($1)) }
    elsif ($mnemonic =~ /^add/ && $operand =~ /^\$(.+)$/) { follow_stack(numeric($1)) }
    elsif ($mnemonic =~ /^lea/ && $operand =~ /^(-?\w*)\(%[er]sp\)$/) { follow_stack($1 eq '' ? 0 : numeric($1)) }
    else { follow_stack(undef) }
    next;
  }

  my $writesOnly = $mnemonic =~ /^(mov|lea|rorx|sarx|shrx|shlx|andn)/
                || ($mnemonic =~ /^xor/ && @operands == 2 && $operands[0] eq $operands[1]);
  my @inputs;
  if ($mnemonic =~ /^lea/) {
    @inputs = @{(address($operands[0]))[2]};
  } elsif (!($mnemonic =~ /^xor/ && @operands == 2 && $operands[0] eq $operands[1])) {
    @inputs = map { value_of($_) } @operands[0 .. $#operands - 1];
    push @inputs, value_of($destination) if !$writesOnly || @operands == 1;
  }
  my ($cycle, $source) = latest(@inputs);
  # A load or a store is the memory's latency alone; every other operation takes one cycle.
  $cycle += $kOperation unless $mnemonic =~ /^mov/ && grep { is_memory($_) } @operands;
  if (is_memory($destination) && $mnemonic !~ /^lea/) {
    store($destination, $cycle, $source);
  } else {
    write_register(register_of($destination), $cycle, $source);
  }
}

# The longest chain ends at the latest value; walk it back and count its hops.
my ($end, $latestCycle) = (undef, -1);
for my $n (0 .. $#nodes) {
  ($end, $latestCycle) = ($n, $nodes[$n][0]) if $nodes[$n][0] > $latestCycle;
}
my $hops = 0;
my @chain;
for (my $n = $end; defined $n; $n = $nodes[$n][1]) {
  $hops += $nodes[$n][2];
  unshift @chain, sprintf "%5d %s %s\n", $nodes[$n][0], $nodes[$n][2] ? '<-' : '  ', $nodes[$n][3];
}
print STDERR @chain if $show;
print join("\t", $instructions, $stackStores, $stackLoads, $latestCycle, $hops), "\n";

// Prints the body of POST /api/v1/runs for a new player: a signed run of a test replay,
// for the shell tests that send one with curl.
//   node signed_run.mjs NAME [REPLAY (default autoplay) | variant:FRAME]
import { player, replay, signedRun, variant } from './lib.mjs';

const [name = 'Ann', which = 'autoplay'] = process.argv.slice(2);
const bytes = which.startsWith('variant:') ? variant(Number(which.slice(8))) : replay(which);
process.stdout.write(JSON.stringify(signedRun(player(name), bytes)));
